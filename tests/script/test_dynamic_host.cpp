// Host objects whose members are not known in advance (an element of a web page): every name,
// the default member included, reaches the object's scriptInvoke; the object goes with its
// last script reference; its recorded errors fail the calling statement.
#include "platform/HostError.h"
#include "script/ScriptControl.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

class Bag : public QObject {
    Q_OBJECT
    Q_CLASSINFO("ScriptMembers", "dynamic")
    Q_CLASSINFO("ScriptOwned", "true")
public:
    static inline int alive = 0;
    static inline QStringList seen;
    Bag() { ++alive; }
    ~Bag() override { --alive; }

    Q_INVOKABLE QVariant scriptInvoke(const QString& name, int kind, const QVariantList& args)
    {
        seen << QStringLiteral("%1/%2/%3").arg(name).arg(kind).arg(args.size());
        const QString key = name.isEmpty() ? QStringLiteral("value") : name.toLower();
        if (key == QLatin1String("missing")) {
            platform::RaiseHostError(424, QStringLiteral("Object required: no element 'missing'"));
            return QVariant();
        }
        if (kind == 1) {
            values_[key] = args.last();
            return QVariant();
        }
        if (!args.isEmpty()) {
            int sum = 0;
            for (const QVariant& a : args)
                sum += a.toInt();
            return sum;
        }
        return values_.value(key);
    }

private:
    QVariantMap values_;
};

class Maker : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QObject* Make() { return new Bag; }
};

} // namespace

TEST(DynamicHost, EveryNameReachesTheObjectAndItGoesWithItsLastReference)
{
    Maker maker;
    script::ScriptControl sc;
    sc.setTimeout(-1);
    ASSERT_TRUE(sc.AddObject(QStringLiteral("M"), &maker, false));
    Bag::seen.clear();
    ASSERT_TRUE(sc.AddCode(QStringLiteral("Set b = M.Make()\r\nb.Color = \"red\"\r\nb.Value = 5\r\n"
                                          "r = b.COLOR & \"|\" & b & \"|\" & b.Sum(1, 2)\r\n")))
        << sc.Error().Number << " " << sc.Error().Line << " " << sc.Error().Description.toStdString();
    script::Variant r;
    ASSERT_TRUE(sc.Eval(QStringLiteral("r"), &r));
    EXPECT_EQ(script::toStr(r), QStringLiteral("red|5|3"));
    // A name arrives as the script first wrote it (script names ignore case); "" is the default.
    EXPECT_EQ(Bag::seen, (QStringList{"Color/1/1", "Value/1/1", "Color/0/0", "/0/0", "Sum/0/2"}));
    EXPECT_EQ(Bag::alive, 1);

    EXPECT_FALSE(sc.AddCode(QStringLiteral("x = b.missing\r\n")));
    EXPECT_EQ(sc.Error().Number, 424);
    EXPECT_EQ(sc.Error().Description, QStringLiteral("Object required: no element 'missing'"));
    EXPECT_FALSE(sc.AddCode(QStringLiteral("Set b.Color = M\r\n")));
    EXPECT_EQ(sc.Error().Number, 438);

    ASSERT_TRUE(sc.AddCode(QStringLiteral("Set b = Nothing\r\nx = M.Make().Anything\r\n")));
    EXPECT_EQ(Bag::alive, 0);
}

#include "test_dynamic_host.moc"
