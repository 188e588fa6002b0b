// A growable text buffer.
#include "util/StringBuilder.h"

StringBuilder::StringBuilder() : buffer_(Step, QLatin1Char(' ')) {}

void StringBuilder::Append(const QString& value)
{
    const int n = int(value.size());
    if (used_ + n > capacity_) {
        const int growth = n < LargePiece ? Step : 3 * n;
        buffer_.append(QString(growth, QLatin1Char(' ')));
        capacity_ += growth;
    }
    buffer_.replace(used_, n, value);
    used_ += n;
}
