// The growable text buffer and its growth rule.
#include "util/StringBuilder.h"

#include <gtest/gtest.h>

TEST(StringBuilder, StartsEmptyWithTenThousandCharacters)
{
    StringBuilder sb;
    EXPECT_EQ(sb.capacity(), 10000);
    EXPECT_EQ(sb.length(), 0);
    EXPECT_EQ(sb.toString(), "");
    sb.Append("");
    EXPECT_EQ(sb.length(), 0);
}

TEST(StringBuilder, GrowsByStepsOrByThreeTimesALargePiece)
{
    StringBuilder sb;
    sb.Append(QString(10000, 'a'));
    EXPECT_EQ(sb.capacity(), 10000);
    sb.Append("b");
    EXPECT_EQ(sb.capacity(), 20000);
    EXPECT_EQ(sb.length(), 10001);

    StringBuilder full;
    full.Append(QString(10000, 'a'));
    full.Append(QString(5000, 'c'));
    EXPECT_EQ(full.capacity(), 25000);

    StringBuilder edge;
    edge.Append(QString(9000, 'a'));
    edge.Append(QString(3334, 'b')); // below the large-piece threshold: one step of 10000
    EXPECT_EQ(edge.capacity(), 20000);
    edge.Append(QString(7667, 'c')); // 20001 > 20000 and large: grows by 3 x 7667
    EXPECT_EQ(edge.capacity(), 20000 + 3 * 7667);
    EXPECT_EQ(edge.length(), 20001);

    StringBuilder huge;
    huge.Append(QString(50000, 'h')); // one step is enough even for a piece far above the step
    EXPECT_EQ(huge.capacity(), 160000);
    EXPECT_EQ(huge.length(), 50000);
}

TEST(StringBuilder, KeepsTextExactAcrossGrowth)
{
    StringBuilder sb;
    QString expected;
    for (int i = 0; i < 3000; ++i) {
        const QString line = QStringLiteral("line %1 \xE9\xFF\r\n").arg(i);
        sb.Append(line);
        expected += line;
    }
    EXPECT_EQ(sb.toString(), expected);
    EXPECT_EQ(sb.length(), expected.size());
    EXPECT_GE(sb.capacity(), sb.length());
}
