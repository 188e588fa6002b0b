// Quoted-printable decoding of a received part, with its soft-break and escape rules as they
// stand (at most 30 escapes decoded per line piece).
#include "gateway/clsInetGateway.h"

#include "gateway/Decoders.h"

using gateway::kCrLf;

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// The value of two characters read as a hexadecimal number; a character that is not a
// hexadecimal digit ends the number.
int hexPair(QChar first, QChar second)
{
    const int a = hexDigit(first);
    if (a < 0)
        return 0;
    const int b = hexDigit(second);
    return b < 0 ? a : a * 16 + b;
}

} // namespace

namespace gateway {

PartDecoder::Step QuotedPrintableDecoder::take(const QString& line, QByteArray& out)
{
    if (line.startsWith(QLatin1String("--")))
        return Step::Before;
    QString piece;
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1) == QLatin1Char(' '))
        --end;
    if (end > 0 && line.at(end - 1) == QLatin1Char('=')) {
        piece = line.left(end - 1);
        if (piece.endsWith(QLatin1String("=0D=0A"))) {
            piece.chop(6);
            piece += kCrLf;
        } else if (piece.endsWith(QLatin1String("=0A"))) {
            piece.chop(3);
            piece += kCrLf;
        }
    } else {
        piece = line + kCrLf;
    }
    // One pass left to right: a decoded character is never read again.
    const qsizetype n = piece.size();
    int escapes = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = piece.at(i);
        if (c == QLatin1Char('=') && escapes < 30 && i + 2 < n) {
            if (hexDigit(piece.at(i + 1)) < 0 || hexDigit(piece.at(i + 2)) < 0)
                corrupt_ = true;
            out.append(char(hexPair(piece.at(i + 1), piece.at(i + 2))));
            i += 2;
            ++escapes;
        } else {
            out.append(char(c.unicode() < 256 ? c.unicode() : '?'));
        }
    }
    return Step::More;
}

} // namespace gateway

void clsInetGateway::DecodeQuotedPrintable(QString& name)
{
    log(QStringLiteral("OK POP Creating Quoted-Printable attachment"));
    gateway::QuotedPrintableDecoder decoder;
    writeAttachment(name, decoder);
    if (decoder.corrupt())
        undecodable_ << name;
}
