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
    // The key's first two characters are "T" (84, a shift of 53) and "w" (119, a shift of 88).
    EXPECT_EQ(ScramblePassword(QString(QChar(100)) + QChar(35)), QStringLiteral("/{"));   // 100 - 53, 35 + 88

    // Wrap: code 32 at an odd position comes back round from the top of the ring.
    EXPECT_EQ(ScramblePassword(QStringLiteral(" ")), QStringLiteral("K"));                // 32 - 53 + 96
    EXPECT_EQ(ScramblePassword(QString(2, QChar(127))).at(1), QLatin1Char('w'));          // 127 + 88 - 96

    // Position 21 starts the key again.
    EXPECT_EQ(ScramblePassword(QString(20, 'A') + QChar(120)).at(20), QLatin1Char('C')); // 120 - 53
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
