// FormatNumber, FormatCurrency and FormatPercent: fixed decimals rounded half away from zero,
// the locale's decimal point, digit grouping and currency symbol.
#include "script/Library.h"
#include "script/Locale.h"

#include <QLocale>

namespace script::lib {

namespace {

// Tristate arguments: -1 True, 0 False, -2 (vbUseDefault) the locale's choice.
bool tristate(Args a, size_t i, bool dflt)
{
    if (!given(a, i))
        return dflt;
    int32_t v = lng(a, i);
    if (v == -2)
        return dflt;
    return v != 0;
}

struct NumberText {
    QString digits;  // without sign
    bool negative = false;
};

NumberText numberText(double x, Args a, size_t first)
{
    int32_t digits = optLong(a, first, -1);
    if (digits == -1)
        digits = 2;
    if (digits < -1 || digits > 255)
        raiseError(errInvalidCall);
    bool leading = tristate(a, first + 1, true);
    bool group = tristate(a, first + 3, true);
    QLocale loc = activeQLocale();
    // A narrow no-break space (French grouping) has no place in 8-bit text; the plain no-break
    // space does, and it is what that locale used for long.
    QString sep = loc.groupSeparator();
    if (sep == QChar(0x202F))
        sep = QChar(0xA0);
    QString t = fixedText(x, digits, false);
    NumberText r;
    if (t.startsWith(QLatin1Char('-'))) {
        r.negative = true;
        t.remove(0, 1);
    }
    qsizetype dot = t.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? t : t.left(dot);
    QString frac = dot < 0 ? QString() : t.mid(dot + 1);
    if (group && whole.size() > 3) {
        QString g;
        qsizetype lead = whole.size() % 3;
        if (lead) g = whole.left(lead);
        for (qsizetype i = lead; i < whole.size(); i += 3) {
            if (!g.isEmpty()) g += sep;
            g += whole.mid(i, 3);
        }
        whole = g;
    }
    if (!leading && whole == QLatin1String("0") && !frac.isEmpty())
        whole.clear();
    r.digits = frac.isEmpty() ? whole : whole + loc.decimalPoint() + frac;
    return r;
}

QString signed_(const NumberText& n, bool parens)
{
    if (!n.negative)
        return n.digits;
    return parens ? QLatin1Char('(') + n.digits + QLatin1Char(')') : QLatin1Char('-') + n.digits;
}

double numberArg(Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        raiseError(errTypeMismatch);
    return toDouble(v);
}

Variant bFormatNumber(Frame&, Args a)
{
    NumberText n = numberText(numberArg(a), a, 1);
    return Variant::fromString(signed_(n, tristate(a, 3, false)));
}

Variant bFormatPercent(Frame&, Args a)
{
    NumberText n = numberText(numberArg(a) * 100.0, a, 1);
    return Variant::fromString(signed_(n, tristate(a, 3, false)) + QLatin1Char('%'));
}

Variant bFormatCurrency(Frame&, Args a)
{
    NumberText n = numberText(numberArg(a), a, 1);
    QLocale loc = activeQLocale();
    // The locale's own currency layout, with the symbol before or after the amount.
    QString layout = loc.toCurrencyString(0.0, loc.currencySymbol(), 0);
    qsizetype zero = layout.indexOf(QLatin1Char('0'));
    QString amount = zero < 0 ? n.digits : layout.left(zero) + n.digits + layout.mid(zero + 1);
    if (!n.negative)
        return Variant::fromString(amount);
    bool parens = tristate(a, 3, false);
    return Variant::fromString(parens ? QLatin1Char('(') + amount + QLatin1Char(')') : QLatin1Char('-') + amount);
}

} // namespace

void addFormatBuiltins(BuiltinTable& t)
{
    t.insert(QStringLiteral("formatnumber"), {bFormatNumber, 1, 5});
    t.insert(QStringLiteral("formatcurrency"), {bFormatCurrency, 1, 5});
    t.insert(QStringLiteral("formatpercent"), {bFormatPercent, 1, 5});
}

} // namespace script::lib
