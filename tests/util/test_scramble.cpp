// Password scrambling: the keyed shift on the ring of codes 32 to 127.
#include "util/basJcryption1.h"

#include <gtest/gtest.h>

using namespace basJcryption1;

namespace {
QString printable(int length, int seed)
{
    QString s;
    for (int i = 0; i < length; ++i)
        s.append(QChar(32 + (i * 37 + seed * 11) % 96));
    return s;
}
} // namespace

TEST(Scramble, KeyIsTwentyPrintableCharactersAndFixed)
{
    const QString key = ScrambleKeyText();
    ASSERT_EQ(key.size(), 20);
    for (QChar c : key) {
        EXPECT_GE(c.unicode(), 32);
        EXPECT_LE(c.unicode(), 126);
    }
    // A stored password depends on this value: changing it breaks every settings file.
    EXPECT_EQ(key, QStringLiteral("Tw3k#Q9zL$m2Vx!Hp7R^"));
    EXPECT_EQ(ScramblePassword("secret"), QStringLiteral(">]O^aF"));
    EXPECT_EQ(ScramblePassword("Pass word 123!"), QStringLiteral("{Y__|IUm7%CE\\z"));
}

TEST(Scramble, RoundTripsPrintableTextOfAnyLength)
{
    for (int len : {0, 1, 2, 19, 20, 21, 39, 40, 41, 97}) {
        for (int seed = 0; seed < 4; ++seed) {
            const QString p = printable(len, seed);
            const QString s = ScramblePassword(p);
            EXPECT_EQ(s.size(), p.size());
            for (QChar c : s) {
                EXPECT_GE(c.unicode(), 32);
                EXPECT_LE(c.unicode(), 127);
            }
            EXPECT_EQ(UnscramblePassword(s), p) << len << " " << seed;
        }
    }
    EXPECT_EQ(ScramblePassword(""), "");
}

TEST(Scramble, OddPositionsMoveDownEvenUpWithOneWrap)
{
    const QString key = ScrambleKeyText();
    const int o1 = key.at(0).unicode() - 31;
    const int o2 = key.at(1).unicode() - 31;
    const int o21 = key.at(0).unicode() - 31; // position 21 reuses key character 1
    const QString s = ScramblePassword(QString(QChar(100)) + QChar(35));
    EXPECT_EQ(s.at(0).unicode(), 100 - o1);
    EXPECT_EQ(s.at(1).unicode(), 35 + o2);

    // Wrap: code 32 at an odd position comes back round from the top of the ring.
    EXPECT_EQ(ScramblePassword(QString(QChar(32))).at(0).unicode(), 32 - o1 + 96);
    EXPECT_EQ(ScramblePassword(QString(2, QChar(127))).at(1).unicode(), 127 + o2 - 96);

    const QString p21 = QString(20, 'A') + QChar(120);
    EXPECT_EQ(ScramblePassword(p21).at(20).unicode(), 120 - o21);
}

TEST(Scramble, CharactersOutsideTheRingDoNotSurvive)
{
    // One correction only: a control character or accented letter lands elsewhere.
    const QString p = QString(QChar(9)) + QChar(0xE9) + QChar(200);
    const QString back = UnscramblePassword(ScramblePassword(p));
    EXPECT_EQ(back.size(), p.size());
    EXPECT_NE(back, p);
    for (QChar c : back)
        EXPECT_LE(c.unicode(), 255);
}
