// Delimited fields, mark-delimited records and the separator helpers.
#include "util/basStringWorks.h"
#include "util/basTwFunctions.h"

#include <gtest/gtest.h>

using namespace basTwFunctions;
using basStringWorks::TextAfter;
using basStringWorks::TextBefore;

namespace {
const QString FM(AttributeMark);
const QString VM(ValueMark);
const QString SM(SubvalueMark);
}

TEST(FieldCount, CountsFieldsIncludingOverlappingHits)
{
    EXPECT_EQ(FieldCount("", ","), 0);
    EXPECT_EQ(FieldCount("a", ","), 1);
    EXPECT_EQ(FieldCount("a,,b", ","), 3);
    EXPECT_EQ(FieldCount("aaa", "aa"), 3);
    EXPECT_EQ(FieldCount("abc", ""), 4);
    EXPECT_EQ(FieldCount("", ""), 1);
    EXPECT_EQ(FieldCount(",", ","), 2);
}

TEST(GetField, PicksFieldsAndToleratesOutOfRangeNumbers)
{
    EXPECT_EQ(GetField("a=b=c", "=", 2), "b");
    EXPECT_EQ(GetField("a=b=c", "=", 3), "c");
    EXPECT_EQ(GetField("a=b", "=", 3), "");
    EXPECT_EQ(GetField("abc", "=", 1), "abc");
    EXPECT_EQ(GetField("abc", "=", 0), "abc");
    EXPECT_EQ(GetField("a=b", "=", -5), "a");
    EXPECT_EQ(GetField("+OK 3 1200", " ", 3), "1200");
    EXPECT_EQ(GetField("key==v", "=", 2), "");
    EXPECT_EQ(GetField("k<>v<>w", "<>", 2), "v");
    EXPECT_EQ(GetField("Abc", "a", 2), ""); // case-sensitive: no hit
    EXPECT_EQ(GetField("", "=", 1), "");
    EXPECT_EQ(GetField("abc", "", 2), "");
}

TEST(ExtractMarked, DescendsOnlyIntoRequestedLevels)
{
    const QString rec = "a" + FM + "b1" + VM + "b2x" + SM + "b2y" + FM + "c";
    EXPECT_EQ(ExtractMarked(rec, 2, -1, -1), "b1" + VM + "b2x" + SM + "b2y");
    EXPECT_EQ(ExtractMarked(rec, 2, 2, -1), "b2x" + SM + "b2y");
    EXPECT_EQ(ExtractMarked(rec, 2, 2, 2), "b2y");
    EXPECT_EQ(ExtractMarked(rec, 2, 1, 2), "");
    EXPECT_EQ(ExtractMarked(rec, 2, -1, 2), "b1" + VM + "b2x" + SM + "b2y"); // s ignored
    EXPECT_EQ(ExtractMarked(rec, 3, 1, 1), "c");
    EXPECT_EQ(ExtractMarked(rec, 4, 1, 1), "");
    EXPECT_EQ(ExtractMarked("", 1, 1, 1), "");
}

TEST(RReplace, AppendsPadsAndReplacesAtEachLevel)
{
    EXPECT_EQ(RReplace("", -1, "x"), "x");
    EXPECT_EQ(RReplace("a", -1, "x"), "a" + FM + "x");
    EXPECT_EQ(RReplace("a", 3, "x"), "a" + FM + FM + "x");
    EXPECT_EQ(RReplace("a" + FM + "b", 1, "x"), "x" + FM + "b");
    EXPECT_EQ(RReplace("a" + FM + "b", 2, 2, "x"), "a" + FM + "b" + VM + "x");
    EXPECT_EQ(RReplace("a" + FM + "b", 2, -1, "x"), "a" + FM + "b" + VM + "x");
    EXPECT_EQ(RReplace("a", 2, 2, "x"), "a" + FM + VM + "x");
    EXPECT_EQ(RReplace("a" + FM + "b" + VM + "c", 2, 2, 3, "x"),
              "a" + FM + "b" + VM + "c" + SM + SM + "x");
    EXPECT_EQ(RReplace("", -1, -1, -1, "x"), "x");
    // The new text goes in as it is, separators and all.
    EXPECT_EQ(RReplace("a" + FM + "b", 1, "p" + FM + "q"), "p" + FM + "q" + FM + "b");
}

TEST(RReplace, BuildsTheMappingTableAsTheLoaderDoes)
{
    QString map;
    map = RReplace(map, -1, 1, "txt");
    map = RReplace(map, FieldCount(map, FM), 2, "user@example.org");
    map = RReplace(map, -1, 1, "csv");
    map = RReplace(map, FieldCount(map, FM), 2, "other@example.org");
    EXPECT_EQ(FieldCount(map, FM), 2);
    EXPECT_EQ(ExtractMarked(map, 2, 1, -1), "csv");
    EXPECT_EQ(ExtractMarked(map, 1, 2, -1), "user@example.org");
}

TEST(RReplace, ImpossiblePositionsLeaveTheRecordUnchanged)
{
    const QString rec = "a" + FM + "b";
    EXPECT_EQ(RReplace(rec, 0, "x"), rec);
    EXPECT_EQ(RReplace(rec, -2, "x"), rec);
    EXPECT_EQ(RReplace(rec, 1, 0, "x"), rec);
    EXPECT_EQ(RReplace(rec, 1, 1, -7, "x"), rec);
}

TEST(TextSplit, SplitsHeaderLinesAtTheFirstSeparator)
{
    EXPECT_EQ(TextAfter("Subject: hi", ":"), " hi");
    EXPECT_EQ(TextAfter("a::b", "::"), ":b"); // one character after the separator's start
    EXPECT_EQ(TextAfter("abc", ":"), "");
    EXPECT_EQ(TextAfter("abc:", ":"), "");
    EXPECT_EQ(TextAfter("", ":"), "");
    EXPECT_EQ(TextBefore("Subject: hi", ":"), "Subject");
    EXPECT_EQ(TextBefore(":x", ":"), "");
    EXPECT_EQ(TextBefore("abc", ":"), "abc");
    EXPECT_EQ(TextBefore("a:b:c", ":"), "a");
    EXPECT_EQ(TextBefore("To: x", "to"), "To: x"); // case-sensitive
    // Far past the 16-bit positions of old: no overflow, just the answer.
    const QString longLine = QString(40000, 'x') + ":tail";
    EXPECT_EQ(TextAfter(longLine, ":"), "tail");
    EXPECT_EQ(TextBefore(longLine, ":").size(), 40000);
}
