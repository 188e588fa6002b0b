// Variant rules that scripts cannot reach one by one: number text in and out, dates,
// arrays shared until written, and the lock that keeps a lent-out element from dangling.
#include "script/ScriptError.h"
#include "script/Variant.h"

#include <gtest/gtest.h>

using namespace script;

TEST(Variant, ParsesNumbersAsConversionsAcceptThem)
{
    double d = 0;
    EXPECT_TRUE(parseNumber(QStringLiteral("  12.5 "), d)); EXPECT_EQ(12.5, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("-1e3"), d)); EXPECT_EQ(-1000, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("&HFF"), d)); EXPECT_EQ(255, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("&HFFFF"), d)); EXPECT_EQ(-1, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("&O17"), d)); EXPECT_EQ(15, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("1,000"), d)); EXPECT_EQ(1000, d);
    EXPECT_TRUE(parseNumber(QStringLiteral(".5"), d)); EXPECT_EQ(0.5, d);
    // Plain digits, with sign and blanks, and past the length read without the general parser.
    EXPECT_TRUE(parseNumber(QStringLiteral(" - 0042 "), d)); EXPECT_EQ(-42, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("123456789012345678"), d)); EXPECT_EQ(123456789012345678.0, d);
    EXPECT_TRUE(parseNumber(QStringLiteral("12345678901234567890123"), d)); EXPECT_EQ(12345678901234567890123.0, d);
    for (const char* bad : {"", " ", "-", "+ ", "abc", "1e", "1.2.3", "--1", "&H", "&HG", "1 2", "12a", "1e999"})
        EXPECT_FALSE(parseNumber(QString::fromLatin1(bad), d)) << bad;
}

TEST(Variant, WritesNumbersAsCStrDoes)
{
    EXPECT_EQ("0", formatDouble(0).toStdString());
    EXPECT_EQ("0.3", formatDouble(0.1 + 0.2).toStdString());
    EXPECT_EQ("-2.5", formatDouble(-2.5).toStdString());
    EXPECT_EQ("1E+15", formatDouble(1e15).toStdString());
    EXPECT_EQ("123456789012345", formatDouble(123456789012345.0).toStdString());
    EXPECT_EQ("-922337203685477.5808", formatCurrency(INT64_MIN).toStdString());
    EXPECT_EQ("0.0001", formatCurrency(1).toStdString());
    EXPECT_EQ("12", formatCurrency(120000).toStdString());
}

TEST(Variant, DatesRoundTripThroughText)
{
    double d = 0;
    ASSERT_TRUE(parseDate(QStringLiteral("12/31/1999 11:59:59 PM"), d));
    EXPECT_EQ("12/31/1999 11:59:59 PM", formatDate(d).toStdString());
    ASSERT_TRUE(parseDate(QStringLiteral("1899-12-30"), d));
    EXPECT_EQ(0, d);
    ASSERT_TRUE(parseDate(QStringLiteral("1/1/1899"), d));
    EXPECT_EQ(-363, d);
    for (const char* bad : {"2/30/2003", "13:00 PM", "25:00", "hello", "1/2/3/4"})
        EXPECT_FALSE(parseDate(QString::fromLatin1(bad), d)) << bad;
}

TEST(Variant, ArraysAreSharedUntilWritten)
{
    Variant a = Variant::fromArray(new ArrayData({{0, 3}}));
    a.arrayForWrite()->items[0] = Variant::fromInteger(1);
    Variant b = a;
    EXPECT_EQ(a.array(), b.array());
    b.arrayForWrite()->items[0] = Variant::fromInteger(2);
    EXPECT_NE(a.array(), b.array());
    EXPECT_EQ(1, toLong(a.array()->items[0]));
    EXPECT_EQ(2, toLong(b.array()->items[0]));
}

TEST(Variant, ALockedArrayIsCopiedNotShared)
{
    Variant a = Variant::fromArray(new ArrayData({{0, 2}}));
    ArrayData* data = a.arrayForWrite();
    ++data->locks;  // an element is lent out by reference
    Variant b = a;
    EXPECT_NE(a.array(), b.array());
    data->items[1] = Variant::fromString(QStringLiteral("through the reference"));
    EXPECT_TRUE(b.array()->items[1].isEmpty());
    --data->locks;
}

TEST(Variant, ConversionsRaiseVbscriptErrors)
{
    auto errorOf = [](auto&& f) {
        try { f(); } catch (const ScriptError& e) { return e.number; }
        return 0;
    };
    EXPECT_EQ(6, errorOf([] { toInteger(Variant::fromLong(40000)); }));
    EXPECT_EQ(13, errorOf([] { toDouble(Variant::fromString(QStringLiteral("x"))); }));
    EXPECT_EQ(94, errorOf([] { toStr(Variant::null()); }));
    EXPECT_EQ(91, errorOf([] { valueOf(Variant::fromObject(nullptr)); }));
    EXPECT_EQ(2, toInteger(Variant::fromDouble(2.5)));
    EXPECT_EQ(4, toInteger(Variant::fromDouble(3.5)));
    EXPECT_EQ(-2, toInteger(Variant::fromString(QStringLiteral("-2.5"))));
}

namespace {

// An object that records when its last reference goes instead of deleting itself.
class Probe final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("Probe"); }
    int memberId(const QString&, bool) override { return -1; }
    Variant invoke(int, InvokeKind, Args) override { return Variant(); }
    bool freed = false;

protected:
    void lastRelease() override { freed = true; }
};

} // namespace

TEST(Variant, CopiesMovesAndSwapsKeepTextAndReferencesBalanced)
{
    Probe probe;
    {
        Variant s = Variant::fromString(QStringLiteral("text"));
        Variant o = Variant::fromObject(&probe);
        Variant n = Variant::fromDouble(2.5);
        Variant copy = s;
        copy.strRef() += QStringLiteral("!");
        EXPECT_EQ("text", s.str().toStdString());
        EXPECT_EQ("text!", copy.str().toStdString());
        Variant moved = std::move(copy);
        EXPECT_TRUE(copy.isEmpty());
        EXPECT_EQ("text!", moved.str().toStdString());
        s.swap(o);
        EXPECT_TRUE(s.isObject());
        EXPECT_EQ("text", o.str().toStdString());
        n = s;  // a number overwritten by an object
        EXPECT_EQ(2, probe.refCount());
        Variant& alias = n;
        n = alias;
        n = std::move(alias);
        EXPECT_EQ(2, probe.refCount());
        EXPECT_TRUE(n.isObject());
        s = Variant::fromString(QStringLiteral("over"));  // the object replaced by text
        EXPECT_EQ(1, probe.refCount());
        // A number has no text; making it text in place starts from an empty one.
        Variant d = Variant::fromLong(7);
        EXPECT_TRUE(d.str().isEmpty());
        d.strRef() = QStringLiteral("now text");
        EXPECT_TRUE(d.isString());
        EXPECT_EQ("now text", d.str().toStdString());
        std::vector<Variant> many(100, o);
        many.push_back(n);  // reallocation relocates every element
        EXPECT_EQ("text", many[99].str().toStdString());
        EXPECT_EQ(2, probe.refCount());
    }
    EXPECT_TRUE(probe.freed);
    EXPECT_EQ(0, probe.refCount());
}
