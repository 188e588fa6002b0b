// The classic Format function: format strings are split into sections, each section is read
// as a date, number or text pattern, and the value is rendered through that pattern.
#include "platform/Format.h"

#include "platform/VbDate.h"

#include <QLocale>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <vector>

namespace platform {

FormatValue FormatValue::fromDateTime(const QDateTime& dt)
{
    return fromDate(ToOADate(dt));
}

namespace {

// ---------------------------------------------------------------------------------------------
// Decimal digits. Numbers are rounded on their decimal digits, not on the binary double, so
// 2.675 with two decimals gives 2.68 as the classic runtime does (half away from zero).

struct Decimal {
    bool negative = false;
    QString digits; // significant digits without leading or trailing zeros; empty for zero
    int point = 0;  // the value is 0.digits x 10^point

    bool isZero() const { return digits.isEmpty(); }

    void normalise()
    {
        qsizetype lead = 0;
        while (lead < digits.size() && digits.at(lead) == QLatin1Char('0'))
            ++lead;
        digits.remove(0, lead);
        point -= int(lead);
        while (!digits.isEmpty() && digits.back() == QLatin1Char('0'))
            digits.chop(1);
        if (digits.isEmpty())
            point = 0;
    }

    // Rounds to `decimals` digits after the decimal point, half away from zero.
    void roundTo(int decimals)
    {
        const int keep = point + decimals;
        if (keep >= digits.size())
            return;
        if (keep < 0) {
            digits.clear();
            point = 0;
            return;
        }
        const bool up = digits.at(keep) >= QLatin1Char('5');
        digits.truncate(keep);
        if (up) {
            int i = keep - 1;
            for (; i >= 0; --i) {
                if (digits.at(i) == QLatin1Char('9')) {
                    digits[i] = QLatin1Char('0');
                } else {
                    digits[i] = QChar(digits.at(i).unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                digits.prepend(QLatin1Char('1'));
                ++point;
            }
        }
        normalise();
    }

    // The digits before the decimal point, without leading zeros ("" below 1).
    QString integerDigits() const
    {
        if (point <= 0)
            return QString();
        QString s = digits.left(point);
        while (s.size() < point)
            s += QLatin1Char('0');
        return s;
    }

    // The first n digits after the decimal point.
    QString fractionDigits(int n) const
    {
        QString s;
        for (int i = 0; i < n; ++i) {
            const int idx = point + i;
            s += (idx < 0 || idx >= digits.size()) ? QLatin1Char('0') : digits.at(idx);
        }
        return s;
    }
};

// 15 significant digits, the precision the language prints a double with.
Decimal decimalOf(double v)
{
    Decimal d;
    d.negative = std::signbit(v) && v != 0;
    if (v == 0)
        return d;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    const QString s = QString::fromLatin1(buf);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    d.digits = s.left(1) + s.mid(2, e - 2);
    d.point = s.mid(e + 1).toInt() + 1;
    d.normalise();
    return d;
}

Decimal decimalOf(qint64 v)
{
    Decimal d;
    d.negative = v < 0;
    const quint64 magnitude = v < 0 ? quint64(0) - quint64(v) : quint64(v);
    d.digits = QString::number(magnitude);
    d.point = int(d.digits.size());
    d.normalise();
    return d;
}

QString generalText(const Decimal& d)
{
    if (d.isZero())
        return QStringLiteral("0");
    const QString dp = QLocale().decimalPoint();
    QString out = d.negative ? QStringLiteral("-") : QString();
    const int exp10 = d.point - 1;
    if (exp10 < -4 || exp10 >= 15) {
        out += d.digits.at(0);
        if (d.digits.size() > 1)
            out += dp + d.digits.mid(1);
        out += exp10 < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        out += QStringLiteral("%1").arg(std::abs(exp10), 2, 10, QLatin1Char('0'));
        return out;
    }
    const QString whole = d.integerDigits();
    out += whole.isEmpty() ? QStringLiteral("0") : whole;
    const int decimals = int(d.digits.size()) - d.point;
    if (decimals > 0)
        out += dp + d.fractionDigits(decimals);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Sections and literals.

// Splits a format at ";" outside quotes and escapes.
QStringList splitSections(const QString& fmt)
{
    QStringList sections;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('\\') && i + 1 < fmt.size()) {
            current += c;
            current += fmt.at(++i);
            continue;
        } else if (!quoted && c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

enum class SectionKind { Number, Date, Text, Literal };

bool startsWithCi(const QString& s, qsizetype i, QLatin1StringView what)
{
    return s.mid(i, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// What a section is, judged by its placeholders outside quotes: digits make a number
// pattern, @ & < > ! a text pattern, date letters a date pattern.
SectionKind classify(const QString& section)
{
    bool date = false, text = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == QLatin1Char('"')) {
            const qsizetype end = section.indexOf(QLatin1Char('"'), i + 1);
            i = end < 0 ? section.size() : end;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        switch (c.toLower().unicode()) {
        case '0': case '#':
            return SectionKind::Number;
        case '@': case '&': case '<': case '>': case '!':
            text = true;
            break;
        case 'd': case 'w': case 'm': case 'q': case 'y': case 'h': case 'n': case 's': case 'c':
            date = true;
            break;
        case 't':
            if (startsWithCi(section, i, QLatin1StringView("ttttt")))
                date = true;
            break;
        case 'a':
            if (startsWithCi(section, i, QLatin1StringView("am/pm")) || startsWithCi(section, i, QLatin1StringView("a/p"))
                || startsWithCi(section, i, QLatin1StringView("ampm")))
                date = true;
            break;
        default:
            break;
        }
    }
    if (text)
        return SectionKind::Text;
    return date ? SectionKind::Date : SectionKind::Literal;
}

// ---------------------------------------------------------------------------------------------
// Number patterns.

struct NumToken {
    enum Type { Digit, Point, Comma, Percent, Exponent, Literal } type;
    QString text; // the placeholder ('0' or '#'), the exponent's "E+" etc., or literal text
};

std::vector<NumToken> tokenizeNumber(const QString& section)
{
    std::vector<NumToken> tokens;
    auto literal = [&](const QString& s) {
        if (!tokens.empty() && tokens.back().type == NumToken::Literal)
            tokens.back().text += s;
        else
            tokens.push_back({NumToken::Literal, s});
    };
    bool seenPoint = false, seenExponent = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == QLatin1Char('"')) {
            qsizetype end = section.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                end = section.size();
            literal(section.mid(i + 1, end - i - 1));
            i = end;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < section.size())
                literal(QString(section.at(++i)));
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            tokens.push_back({NumToken::Digit, QString(c)});
        } else if (c == QLatin1Char('.') && !seenPoint && !seenExponent) {
            seenPoint = true;
            tokens.push_back({NumToken::Point, QString()});
        } else if (c == QLatin1Char(',') && !seenExponent) {
            tokens.push_back({NumToken::Comma, QString()});
        } else if (c == QLatin1Char('%')) {
            tokens.push_back({NumToken::Percent, QString()});
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && !seenExponent && i + 1 < section.size()
                   && (section.at(i + 1) == QLatin1Char('+') || section.at(i + 1) == QLatin1Char('-'))) {
            seenExponent = true;
            tokens.push_back({NumToken::Exponent, section.mid(i, 2)});
            ++i;
        } else {
            literal(QString(c));
        }
    }
    return tokens;
}

// Renders a magnitude (sign already decided by the caller) through one number section.
QString formatNumberSection(Decimal value, const QString& section)
{
    const std::vector<NumToken> tokens = tokenizeNumber(section);
    const QLocale locale;

    // Where the integer part ends: the decimal point, else the exponent, else the end.
    size_t intEnd = tokens.size(), expAt = tokens.size();
    bool hasPoint = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].type == NumToken::Exponent) {
            expAt = i;
            if (intEnd > i)
                intEnd = i;
            break;
        }
        if (tokens[i].type == NumToken::Point && intEnd == tokens.size()) {
            intEnd = i;
            hasPoint = true;
        }
    }

    // Placeholders of each part; commas between integer placeholders group, commas after the
    // last integer placeholder scale by a thousand each.
    std::vector<size_t> intSlots, fracSlots, expSlots;
    bool grouping = false;
    int scaleThousands = 0, percents = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const NumToken& t = tokens[i];
        if (t.type == NumToken::Percent)
            ++percents;
        if (t.type != NumToken::Digit && t.type != NumToken::Comma)
            continue;
        if (i < intEnd) {
            if (t.type == NumToken::Digit) {
                intSlots.push_back(i);
                continue;
            }
            bool digitAfter = false;
            for (size_t j = i + 1; j < intEnd && !digitAfter; ++j)
                digitAfter = tokens[j].type == NumToken::Digit;
            bool digitBefore = !intSlots.empty();
            if (digitAfter && digitBefore)
                grouping = true;
            else if (!digitAfter)
                ++scaleThousands;
        } else if (t.type == NumToken::Digit) {
            (i > expAt ? expSlots : fracSlots).push_back(i);
        }
    }

    value.point += 2 * percents - 3 * scaleThousands;
    const int fracCount = int(fracSlots.size());
    int exponent = 0;
    if (expAt < tokens.size()) {
        const int intCount = std::max<int>(1, int(intSlots.size()));
        if (!value.isZero()) {
            exponent = value.point - intCount;
            value.point = intCount;
            value.roundTo(fracCount);
            if (value.point > intCount) { // rounding carried into a new digit: 9.99 -> 10.0
                exponent += value.point - intCount;
                value.point = intCount;
            }
        }
    } else {
        value.roundTo(fracCount);
    }

    // Integer digits by placeholder, filled from the right; surplus digits go to the first one.
    const QString intDigits = value.integerDigits();
    std::vector<QString> intOut(intSlots.size());
    {
        qsizetype pos = intDigits.size();
        for (size_t k = intSlots.size(); k-- > 0;) {
            if (pos > 0)
                intOut[k] = intDigits.at(--pos);
            else if (tokens[intSlots[k]].text == QLatin1String("0"))
                intOut[k] = QStringLiteral("0");
            if (k == 0 && pos > 0)
                intOut[k].prepend(intDigits.left(pos));
        }
    }
    int digitsLeft = 0;
    for (const QString& s : intOut)
        digitsLeft += int(s.size());

    // Fraction digits: '#' places drop trailing zeros, from the right up to the first '0' place.
    const QString fracDigits = value.fractionDigits(fracCount);
    std::vector<QString> fracOut(fracSlots.size());
    for (size_t k = 0; k < fracSlots.size(); ++k)
        fracOut[k] = fracDigits.at(qsizetype(k));
    for (size_t k = fracSlots.size(); k-- > 0;) {
        if (tokens[fracSlots[k]].text == QLatin1String("#") && fracOut[k] == QLatin1String("0"))
            fracOut[k].clear();
        else
            break;
    }

    QString expDigits;
    if (expAt < tokens.size()) {
        int minDigits = 0;
        for (size_t k : expSlots)
            if (tokens[k].text == QLatin1String("0"))
                ++minDigits;
        expDigits = QString::number(std::abs(exponent));
        while (expDigits.size() < minDigits)
            expDigits.prepend(QLatin1Char('0'));
    }

    QString out;
    const QString group = locale.groupSeparator();
    size_t intIndex = 0, fracIndex = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const NumToken& t = tokens[i];
        switch (t.type) {
        case NumToken::Digit:
            if (i < intEnd) {
                for (QChar c : intOut[intIndex++]) {
                    if (grouping && digitsLeft % 3 == 0 && !out.isEmpty() && out.back().isDigit())
                        out += group;
                    out += c;
                    --digitsLeft;
                }
            } else if (i < expAt) {
                out += fracOut[fracIndex++];
            } else if (i == expSlots.front()) {
                out += expDigits; // all exponent digits at the first exponent place
            }
            break;
        case NumToken::Point:
            // Without integer places the whole part still shows: 12.5 with ".00" is "12.50".
            if (intSlots.empty())
                out += intDigits;
            if (hasPoint)
                out += locale.decimalPoint();
            break;
        case NumToken::Comma:
            break;
        case NumToken::Percent:
            out += QLatin1Char('%');
            break;
        case NumToken::Exponent:
            out += t.text.at(0);
            if (exponent < 0)
                out += QLatin1Char('-');
            else if (t.text.at(1) == QLatin1Char('+'))
                out += QLatin1Char('+');
            if (expSlots.empty())
                out += QString::number(std::abs(exponent));
            break;
        case NumToken::Literal:
            out += t.text;
            break;
        }
    }
    return out;
}

// Picks the section for the value's sign and renders it (positive;negative;zero;null).
QString formatNumber(const Decimal& value, const QStringList& sections)
{
    Decimal magnitude = value;
    magnitude.negative = false;
    QString section = sections.at(0);
    bool minus = value.negative;
    if (value.negative && sections.size() >= 2 && !sections.at(1).isEmpty()) {
        section = sections.at(1);
        minus = false;
    } else if (value.isZero() && sections.size() >= 3 && !sections.at(2).isEmpty()) {
        section = sections.at(2);
    }
    // A negative number that rounds to nothing keeps its minus sign, as the classic runtime does.
    return (minus ? QStringLiteral("-") : QString()) + formatNumberSection(magnitude, section);
}

// ---------------------------------------------------------------------------------------------
// Date patterns.

struct DateToken {
    enum Type { Literal, Day, Weekday, Week, MonthOrMinute, Month, Quarter, DayOfYear, Year2, Year4,
                Hour, Minute, Second, LongTime, General, AmPm, LocaleAmPm, DateSep, TimeSep } type;
    int width = 1;
    QString text;
};

std::vector<DateToken> tokenizeDate(const QString& section)
{
    std::vector<DateToken> tokens;
    auto literal = [&](const QString& s) {
        if (!tokens.empty() && tokens.back().type == DateToken::Literal)
            tokens.back().text += s;
        else
            tokens.push_back({DateToken::Literal, 1, s});
    };
    for (qsizetype i = 0; i < section.size();) {
        const QChar c = section.at(i);
        const QChar lc = c.toLower();
        qsizetype run = 1;
        while (i + run < section.size() && section.at(i + run).toLower() == lc)
            ++run;
        const int n = int(run);
        if (c == QLatin1Char('"')) {
            qsizetype end = section.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                end = section.size();
            literal(section.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            if (i + 1 < section.size())
                literal(QString(section.at(i + 1)));
            i += 2;
            continue;
        }
        if (startsWithCi(section, i, QLatin1StringView("am/pm"))) {
            tokens.push_back({DateToken::AmPm, 2, section.mid(i, 5)});
            i += 5;
            continue;
        }
        if (startsWithCi(section, i, QLatin1StringView("a/p"))) {
            tokens.push_back({DateToken::AmPm, 1, section.mid(i, 3)});
            i += 3;
            continue;
        }
        if (startsWithCi(section, i, QLatin1StringView("ampm"))) {
            tokens.push_back({DateToken::LocaleAmPm, 1, QString()});
            i += 4;
            continue;
        }
        switch (lc.unicode()) {
        case 'd': tokens.push_back({DateToken::Day, std::min(n, 6), {}}); break;
        case 'w': tokens.push_back({n == 1 ? DateToken::Weekday : DateToken::Week, 1, {}}); break;
        case 'm':
            tokens.push_back({n <= 2 ? DateToken::MonthOrMinute : DateToken::Month, std::min(n, 4), {}});
            break;
        case 'q':
            for (int k = 0; k < n; ++k)
                tokens.push_back({DateToken::Quarter, 1, {}});
            break;
        case 'y':
            tokens.push_back({n == 1 ? DateToken::DayOfYear : n == 2 ? DateToken::Year2 : DateToken::Year4, 1, {}});
            break;
        case 'h': tokens.push_back({DateToken::Hour, std::min(n, 2), {}}); break;
        case 'n': tokens.push_back({DateToken::Minute, std::min(n, 2), {}}); break;
        case 's': tokens.push_back({DateToken::Second, std::min(n, 2), {}}); break;
        case 'c':
            for (int k = 0; k < n; ++k)
                tokens.push_back({DateToken::General, 1, {}});
            break;
        case 't':
            if (n == 5) {
                tokens.push_back({DateToken::LongTime, 1, {}});
                break;
            }
            literal(section.mid(i, run));
            break;
        case '/': tokens.push_back({DateToken::DateSep, 1, {}}); run = 1; break;
        case ':': tokens.push_back({DateToken::TimeSep, 1, {}}); run = 1; break;
        default:
            literal(QString(c));
            run = 1;
            break;
        }
        i += run;
    }
    // "m" right after an hour (separators between do not count) is the minute.
    const DateToken* lastField = nullptr;
    for (DateToken& t : tokens) {
        if (t.type == DateToken::MonthOrMinute)
            t.type = (lastField && lastField->type == DateToken::Hour) ? DateToken::Minute : DateToken::Month;
        if (t.type != DateToken::Literal && t.type != DateToken::DateSep && t.type != DateToken::TimeSep)
            lastField = &t;
    }
    return tokens;
}

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

QString formatDateSection(double oa, const QString& section)
{
    const QDateTime dt = FromOADate(oa);
    if (!dt.isValid())
        return GeneralNumber(oa);
    const QDate d = dt.date();
    const QTime t = dt.time();
    const std::vector<DateToken> tokens = tokenizeDate(section);
    bool twelveHour = false;
    for (const DateToken& tk : tokens)
        twelveHour = twelveHour || tk.type == DateToken::AmPm || tk.type == DateToken::LocaleAmPm;
    const bool pm = t.hour() >= 12;

    QString out;
    for (const DateToken& tk : tokens) {
        switch (tk.type) {
        case DateToken::Literal: out += tk.text; break;
        case DateToken::Day:
            switch (tk.width) {
            case 1: out += QString::number(d.day()); break;
            case 2: out += twoDigits(d.day()); break;
            case 3: out += WeekdayName(Weekday(d), true); break;
            case 4: out += WeekdayName(Weekday(d), false); break;
            case 5: out += ShortDateText(d); break;
            default: out += LongDateText(d); break;
            }
            break;
        case DateToken::Weekday: out += QString::number(Weekday(d)); break;
        case DateToken::Week: out += QString::number(WeekOfYear(d)); break;
        case DateToken::Month:
            switch (tk.width) {
            case 1: out += QString::number(d.month()); break;
            case 2: out += twoDigits(d.month()); break;
            case 3: out += MonthName(d.month(), true); break;
            default: out += MonthName(d.month(), false); break;
            }
            break;
        case DateToken::Quarter: out += QString::number((d.month() - 1) / 3 + 1); break;
        case DateToken::DayOfYear: out += QString::number(d.dayOfYear()); break;
        case DateToken::Year2: out += twoDigits(d.year() % 100); break;
        case DateToken::Year4: out += QString::number(d.year()); break;
        case DateToken::Hour: {
            int h = t.hour();
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += tk.width == 2 ? twoDigits(h) : QString::number(h);
            break;
        }
        case DateToken::MonthOrMinute: // resolved by the tokenizer
        case DateToken::Minute: out += tk.width == 2 ? twoDigits(t.minute()) : QString::number(t.minute()); break;
        case DateToken::Second: out += tk.width == 2 ? twoDigits(t.second()) : QString::number(t.second()); break;
        case DateToken::LongTime: out += LongTimeText(t); break;
        case DateToken::General: out += GeneralDate(oa); break;
        case DateToken::AmPm:
            // The letters are shown as the pattern writes them: "AM/PM", "am/pm", "A/P", "a/p".
            if (tk.width == 2)
                out += pm ? tk.text.mid(3, 2) : tk.text.left(2);
            else
                out += pm ? tk.text.mid(2, 1) : tk.text.left(1);
            break;
        case DateToken::LocaleAmPm: out += pm ? QLocale().pmText() : QLocale().amText(); break;
        case DateToken::DateSep: out += DateSeparator(); break;
        case DateToken::TimeSep: out += TimeSeparator(); break;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Text patterns: @ shows a character or a blank, & a character or nothing; placeholders fill
// from the right unless "!" asks for left to right; "<" and ">" change the case of all.

QString formatTextSection(const QString& value, const QString& section)
{
    struct Piece { bool slot; QChar kind; QString text; };
    std::vector<Piece> pieces;
    bool leftToRight = false;
    int caseShift = 0;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section.at(i);
        if (c == QLatin1Char('"')) {
            qsizetype end = section.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                end = section.size();
            pieces.push_back({false, {}, section.mid(i + 1, end - i - 1)});
            i = end;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < section.size())
                pieces.push_back({false, {}, QString(section.at(++i))});
        } else if (c == QLatin1Char('@') || c == QLatin1Char('&')) {
            pieces.push_back({true, c, {}});
        } else if (c == QLatin1Char('!')) {
            leftToRight = true;
        } else if (c == QLatin1Char('<')) {
            caseShift = -1;
        } else if (c == QLatin1Char('>')) {
            caseShift = 1;
        } else {
            pieces.push_back({false, {}, QString(c)});
        }
    }
    const QString s = caseShift < 0 ? value.toLower() : caseShift > 0 ? value.toUpper() : value;
    qsizetype slotCount = 0;
    for (const Piece& p : pieces)
        slotCount += p.slot ? 1 : 0;
    QString out;
    if (slotCount == 0) {
        for (const Piece& p : pieces)
            out += p.text;
        return out + s;
    }
    const qsizetype surplus = std::max<qsizetype>(0, s.size() - slotCount);
    qsizetype slot = 0;
    for (const Piece& p : pieces) {
        if (!p.slot) {
            out += p.text;
            continue;
        }
        // Index into s of this slot's character; surplus characters join the first slot
        // (right to left) or the last one (left to right).
        qsizetype idx = leftToRight ? slot : s.size() - slotCount + slot;
        if (!leftToRight && slot == 0 && surplus > 0)
            out += s.left(surplus);
        if (idx >= 0 && idx < s.size())
            out += s.at(idx);
        else if (p.kind == QLatin1Char('@'))
            out += QLatin1Char(' ');
        if (leftToRight && slot == slotCount - 1 && surplus > 0)
            out += s.mid(slotCount);
        ++slot;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Value conversions.

bool toNumber(const QString& s, double* out)
{
    const QString t = s.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    *out = QLocale().toDouble(t, &ok);
    if (!ok)
        *out = QLocale::c().toDouble(t, &ok);
    return ok;
}

bool toDate(const QString& s, double* out)
{
    const QString t = s.trimmed();
    if (t.isEmpty())
        return false;
    const QLocale locale;
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid())
        dt = locale.toDateTime(t, ShortDateFormat() + QLatin1Char(' ') + LongTimeFormat());
    if (!dt.isValid()) {
        const QDate d = locale.toDate(t, ShortDateFormat());
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid())
        return false;
    *out = ToOADate(dt);
    return true;
}

QString generalForm(const FormatValue& v)
{
    switch (v.kind) {
    case FormatValue::Kind::Empty:
    case FormatValue::Kind::Null: return QString();
    case FormatValue::Kind::Boolean: return v.boolean ? QStringLiteral("True") : QStringLiteral("False");
    case FormatValue::Kind::Number: return GeneralNumber(v.number);
    case FormatValue::Kind::Integer: return generalText(decimalOf(v.integer));
    case FormatValue::Kind::Date: return GeneralDate(v.number);
    case FormatValue::Kind::String: return v.text;
    }
    return QString();
}

// The value as a number for a number or date pattern; false for a string that is neither.
bool numericValue(const FormatValue& v, Decimal* dec, double* asDouble)
{
    switch (v.kind) {
    case FormatValue::Kind::Empty:
    case FormatValue::Kind::Null: *dec = Decimal(); *asDouble = 0; return true;
    case FormatValue::Kind::Boolean:
        *asDouble = v.boolean ? -1 : 0;
        *dec = decimalOf(qint64(*asDouble));
        return true;
    case FormatValue::Kind::Integer:
        *dec = decimalOf(v.integer);
        *asDouble = double(v.integer);
        return true;
    case FormatValue::Kind::Number:
    case FormatValue::Kind::Date:
        *dec = decimalOf(v.number);
        *asDouble = v.number;
        return std::isfinite(v.number);
    case FormatValue::Kind::String:
        if (toNumber(v.text, asDouble) || toDate(v.text, asDouble)) {
            *dec = decimalOf(*asDouble);
            return true;
        }
        return false;
    }
    return false;
}

// The named formats that are plain patterns of the language.
QString namedPattern(const QString& fmt)
{
    static const struct { const char* name; const char* pattern; } table[] = {
        {"Medium Date", "dd-mmm-yy"},   {"Medium Time", "hh:nn AMPM"}, {"Short Time", "hh:nn"},
        {"Fixed", "0.00"},              {"Standard", "#,##0.00"},      {"Percent", "0.00%"},
        {"Scientific", "0.00E+00"},
    };
    for (const auto& e : table)
        if (fmt.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0)
            return QLatin1String(e.pattern);
    return QString();
}

bool isName(const QString& fmt, const char* name) { return fmt.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

QString currencyText(const Decimal& value)
{
    Decimal magnitude = value;
    magnitude.negative = false;
    const QString amount = formatNumberSection(magnitude, QStringLiteral("#,##0.00"));
    // The locale places the symbol and the sign; its own rendering of one is swapped for ours.
    const QLocale locale;
    const QString templ = locale.toCurrencyString(value.negative ? -1.0 : 1.0, QString(), 2);
    const QString one = locale.toString(1.0, 'f', 2);
    const qsizetype at = templ.indexOf(one);
    if (at < 0)
        return (value.negative ? QStringLiteral("-") : QString()) + amount;
    return templ.left(at) + amount + templ.mid(at + one.size());
}

} // namespace

QString GeneralNumber(double number)
{
    if (!std::isfinite(number))
        return QString::number(number);
    return generalText(decimalOf(number));
}

QString Format(const FormatValue& value, const QString& fmt)
{
    if (fmt.isEmpty())
        return generalForm(value);

    Decimal dec;
    double number = 0;
    const bool numeric = numericValue(value, &dec, &number);

    // Named date and yes/no formats.
    const bool isNull = value.kind == FormatValue::Kind::Null;
    if (isName(fmt, "General Date") || isName(fmt, "Long Date") || isName(fmt, "Short Date")
        || isName(fmt, "Long Time")) {
        if (isNull)
            return QString();
        if (!numeric || !IsValidOADate(number))
            return generalForm(value);
        if (isName(fmt, "General Date"))
            return GeneralDate(number);
        const QDateTime dt = FromOADate(number);
        if (isName(fmt, "Long Date"))
            return LongDateText(dt.date());
        if (isName(fmt, "Short Date"))
            return ShortDateText(dt.date());
        return LongTimeText(dt.time());
    }
    static const struct { const char* name; const char* yes; const char* no; } yesNo[] = {
        {"Yes/No", "Yes", "No"}, {"True/False", "True", "False"}, {"On/Off", "On", "Off"}};
    for (const auto& e : yesNo) {
        if (isName(fmt, e.name)) {
            if (isNull)
                return QString();
            if (!numeric)
                return generalForm(value);
            return QLatin1String(dec.isZero() ? e.no : e.yes);
        }
    }
    if (isName(fmt, "General Number"))
        return numeric && !isNull ? generalText(dec) : generalForm(value);
    if (isName(fmt, "Currency"))
        return numeric && !isNull ? currencyText(dec) : generalForm(value);

    const QString named = namedPattern(fmt);
    const QStringList sections = splitSections(named.isEmpty() ? fmt : named);
    const SectionKind kind = classify(sections.at(0));

    if (kind == SectionKind::Text || (value.kind == FormatValue::Kind::String && !numeric)) {
        if (isNull && sections.size() < 2)
            return QString();
        const QString s = generalForm(value);
        if (s.isEmpty() && sections.size() >= 2)
            return formatTextSection(s, sections.at(1));
        return kind == SectionKind::Text ? formatTextSection(s, sections.at(0)) : s;
    }
    if (isNull) {
        if (sections.size() >= 4 && kind != SectionKind::Date)
            return formatNumberSection(Decimal(), sections.at(3));
        return QString();
    }
    if (!numeric)
        return generalForm(value); // not a finite number: nothing to format it with
    if (kind == SectionKind::Date)
        return formatDateSection(number, sections.at(0));
    return formatNumber(dec, sections);
}

QString Format(const QDateTime& dt, const QString& fmt) { return Format(FormatValue::fromDateTime(dt), fmt); }

QString Format(double number, const QString& fmt) { return Format(FormatValue::fromDouble(number), fmt); }

QString Format(const QString& text, const QString& fmt) { return Format(FormatValue::fromString(text), fmt); }

FormatValue FormatValue::fromVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return FormatValue::empty();
    case QMetaType::Nullptr:
        return FormatValue::null();
    case QMetaType::Bool:
        return FormatValue::fromBool(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return FormatValue::fromInt(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return FormatValue::fromDouble(v.toDouble());
    case QMetaType::QDateTime:
        return FormatValue::fromDateTime(v.toDateTime());
    case QMetaType::QDate:
        return FormatValue::fromDateTime(v.toDate().startOfDay());
    default:
        return FormatValue::fromString(v.toString());
    }
}

} // namespace platform
