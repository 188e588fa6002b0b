// Numeric functions: trigonometry, logarithms, Sgn, Round (halves to even), Hex, Oct, RGB,
// and the decimal rounding that Round and the FormatNumber family share.
#include "script/Library.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace script::lib {

QString fixedText(double x, int digits, bool halfEven)
{
    if (!std::isfinite(x))
        raiseError(errOverflow);
    bool neg = std::signbit(x) && x != 0;
    double ax = std::fabs(x);
    if (ax >= 1e15 || digits > 15) {
        // Beyond 15 significant digits a double has no decimal tie to break.
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", digits, ax);
        QString s = QString::fromLatin1(buf);
        return neg ? QLatin1Char('-') + s : s;
    }
    // Work on the 15 significant digits the value prints with, so 2.675 rounds as the
    // decimal it was written as rather than as its binary neighbour 2.67499999...
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", ax);
    QByteArray d;
    d += buf[0];
    d += QByteArray(buf + 2, 14);
    int exp = std::atoi(std::strchr(buf, 'e') + 1);
    int point = exp + 1;           // digits before the decimal point
    int keep = point + digits;     // digits kept
    if (ax == 0) { d = QByteArray(15, '0'); point = 1; keep = 1 + digits; }
    QByteArray kept;
    if (keep < 0) {
        kept.clear();
        point = 0;
        keep = 0;
        d = QByteArray(15, '0');
    }
    if (keep < 15) {
        kept = d.left(keep);
        char next = d[keep];
        bool restZero = true;
        for (int i = keep + 1; i < 15; ++i)
            if (d[i] != '0') restZero = false;
        bool up = next > '5' || (next == '5' && (!restZero || !halfEven || (keep > 0 && (kept[keep - 1] - '0') % 2 == 1)));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && kept[i] == '9') { kept[i] = '0'; --i; }
            if (i >= 0) kept[i] = char(kept[i] + 1);
            else { kept.prepend('1'); ++point; }
        }
    } else {
        kept = d + QByteArray(keep - 15, '0');
    }
    // kept holds point digits before the decimal point (padded if point <= 0).
    QByteArray intPart, fracPart;
    if (point <= 0) {
        intPart = "0";
        fracPart = QByteArray(-point, '0') + kept;
    } else {
        intPart = kept.left(point);
        if (intPart.size() < point) intPart += QByteArray(point - intPart.size(), '0');
        fracPart = kept.mid(point);
    }
    while (intPart.size() > 1 && intPart[0] == '0') intPart.remove(0, 1);
    fracPart = fracPart.left(digits);
    if (fracPart.size() < digits) fracPart += QByteArray(digits - fracPart.size(), '0');
    QString s = QString::fromLatin1(intPart);
    if (digits > 0)
        s += QLatin1Char('.') + QString::fromLatin1(fracPart);
    bool allZero = true;
    for (QChar c : s) if (c != QLatin1Char('0') && c != QLatin1Char('.')) allZero = false;
    return neg && !allZero ? QLatin1Char('-') + s : s;
}

namespace {

double num(Args a, size_t i) { return dbl(a, i); }

Variant result(double d)
{
    if (!std::isfinite(d))
        raiseError(errOverflow);
    return Variant::fromDouble(d);
}

Variant bAtn(Frame&, Args a) { return result(std::atan(num(a, 0))); }
Variant bCos(Frame&, Args a) { return result(std::cos(num(a, 0))); }
Variant bSin(Frame&, Args a) { return result(std::sin(num(a, 0))); }
Variant bTan(Frame&, Args a) { return result(std::tan(num(a, 0))); }
Variant bExp(Frame&, Args a) { return result(std::exp(num(a, 0))); }

Variant bLog(Frame&, Args a)
{
    double d = num(a, 0);
    if (d <= 0)
        raiseError(errInvalidCall);
    return result(std::log(d));
}

Variant bSqr(Frame&, Args a)
{
    double d = num(a, 0);
    if (d < 0)
        raiseError(errInvalidCall);
    return result(std::sqrt(d));
}

Variant bSgn(Frame&, Args a)
{
    double d = num(a, 0);
    return Variant::fromInteger(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

Variant bRound(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    int32_t digits = optLong(a, 1, 0);
    if (digits < 0)
        raiseError(errInvalidCall);
    switch (v.type()) {
    case vtEmpty: return Variant::fromInteger(0);
    case vtBoolean: case vtByte: case vtInteger: case vtLong: return v;
    default: break;
    }
    double d = toDouble(v);
    double r = fixedText(d, std::min(digits, 22), true).toDouble();
    switch (v.type()) {
    case vtSingle: return Variant::fromSingle(float(r));
    case vtCurrency: return Variant::fromCurrency(int64_t(std::llround(r * 10000.0)));
    case vtDate: return Variant::fromDate(r);
    default: return Variant::fromDouble(r);
    }
}

// Hex and Oct show Integer values as 16 bits and everything else as 32 bits.
Variant radix(Args a, int base)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    uint32_t bits;
    if (v.type() == vtInteger || v.type() == vtByte || v.type() == vtBoolean || v.type() == vtEmpty)
        bits = uint16_t(toInteger(v));
    else
        bits = uint32_t(toLong(v));
    return Variant::fromString(QString::number(bits, base).toUpper());
}

Variant bHex(Frame&, Args a) { return radix(a, 16); }
Variant bOct(Frame&, Args a) { return radix(a, 8); }

Variant bRGB(Frame&, Args a)
{
    auto part = [&](size_t i) {
        int32_t c = lng(a, i);
        if (c < 0)
            raiseError(errInvalidCall);
        return std::min(c, 255);
    };
    int32_t r = part(0), g = part(1), b = part(2);
    return Variant::fromLong(r + g * 256 + b * 65536);
}

} // namespace

void addMathBuiltins(BuiltinTable& t)
{
    t.insert(QStringLiteral("atn"), {bAtn, 1, 1});
    t.insert(QStringLiteral("cos"), {bCos, 1, 1});
    t.insert(QStringLiteral("sin"), {bSin, 1, 1});
    t.insert(QStringLiteral("tan"), {bTan, 1, 1});
    t.insert(QStringLiteral("exp"), {bExp, 1, 1});
    t.insert(QStringLiteral("log"), {bLog, 1, 1});
    t.insert(QStringLiteral("sqr"), {bSqr, 1, 1});
    t.insert(QStringLiteral("sgn"), {bSgn, 1, 1});
    t.insert(QStringLiteral("round"), {bRound, 1, 2});
    t.insert(QStringLiteral("hex"), {bHex, 1, 1});
    t.insert(QStringLiteral("oct"), {bOct, 1, 1});
    t.insert(QStringLiteral("rgb"), {bRGB, 3, 3});
}

} // namespace script::lib
