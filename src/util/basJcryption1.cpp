// Password scrambling.
#include "util/basJcryption1.h"

namespace basJcryption1 {

QString ScrambleKeyText()
{
    // Joined from codes at run time so the key never stands whole in the program's data.
    static constexpr int codes[20] = {84, 119, 51, 107, 35, 81, 57, 122, 76, 36,
                                      109, 50, 86, 120, 33, 72, 112, 55, 82, 94};
    QString key;
    for (int c : codes)
        key.append(QChar(c));
    return key;
}

namespace {

int code8(QChar c) { return c.unicode() > 255 ? '?' : c.unicode(); }

// direction +1 scrambles (odd positions down, even up), -1 unscrambles. Only one correction
// of 96 is ever made, and the parity is by absolute position counted from 1.
QString shift(const QString& text, int direction)
{
    const QString key = ScrambleKeyText();
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int offset = key.at(i % key.size()).unicode() - 31;
        const bool odd = (i % 2) == 0; // position i + 1
        int r = code8(text.at(i));
        if ((odd ? -direction : direction) < 0) {
            r -= offset;
            if (r < 32)
                r += 96;
        } else {
            r += offset;
            if (r > 127)
                r -= 96;
        }
        result.append(QChar(r));
    }
    return result;
}

} // namespace

QString ScramblePassword(const QString& text) { return shift(text, +1); }

QString UnscramblePassword(const QString& text) { return shift(text, -1); }

} // namespace basJcryption1
