// Variant storage, coercions and the operator rules of VBScript.
#include "script/Variant.h"

#include "script/Locale.h"
#include "script/ScriptError.h"

#include <QDate>
#include <QTime>
#include <cmath>
#include <cstdio>
#include <limits>

namespace script {

// ---------------------------------------------------------------- storage

Variant Variant::fromObject(Dispatch* d)
{
    Variant v;
    v.vt_ = vtObject;
    v.u_.obj = d;
    if (d)
        d->addRef();
    return v;
}

Variant Variant::fromArray(ArrayData* a)
{
    Variant v;
    v.vt_ = vtArray | vtVariant;
    v.u_.arr = a;
    return v;
}

Variant Variant::fromWhole(int64_t n)
{
    if (n >= -32768 && n <= 32767)
        return fromInteger(int16_t(n));
    if (n >= INT32_MIN && n <= INT32_MAX)
        return fromLong(int32_t(n));
    return fromDouble(double(n));
}

bool Variant::isNumeric() const
{
    switch (vt_) {
    case vtEmpty: case vtBoolean: case vtByte: case vtInteger: case vtLong: case vtSingle:
    case vtDouble: case vtCurrency: case vtDate:
        return true;
    default:
        return false;
    }
}

const QString& Variant::emptyText()
{
    static const QString empty;
    return empty;
}

void Variant::releaseRef()
{
    if (vt_ == vtObject) {
        if (u_.obj)
            u_.obj->release();
    } else if (--u_.arr->refs == 0) {
        keepSpareArray(u_.arr);
    }
}

namespace {

// One spent array per thread, kept so that a loop like `parts = Split(line, ",")` fills the
// texts of the array it just dropped instead of allocating every piece again.
struct SpareArray {
    ArrayData* arr = nullptr;
    ~SpareArray() { delete arr; }
};
thread_local SpareArray spare;

// Small enough that holding on to it costs nothing worth mentioning.
constexpr size_t kSpareItems = 256;
constexpr qsizetype kSpareChars = 16384;

} // namespace

void keepSpareArray(ArrayData* a)
{
    if (spare.arr || a->bounds.size() != 1 || a->items.size() > kSpareItems) {
        delete a;
        return;
    }
    // Objects must go now (their Class_Terminate runs when the last reference does), and the
    // texts kept must stay small.
    qsizetype chars = 0;
    for (const Variant& v : a->items) {
        if (v.isObject() || v.isArray()) {
            delete a;
            return;
        }
        chars += v.str().capacity();
    }
    if (chars > kSpareChars) {
        delete a;
        return;
    }
    spare.arr = a;
}

ArrayData* takeSpareArray()
{
    ArrayData* a = spare.arr;
    spare.arr = nullptr;
    if (a) {
        a->refs = 1;
        a->locks = 0;
        a->fixed = false;
    }
    return a;
}

void Variant::addRefCopy()
{
    if (vt_ == vtObject) {
        if (u_.obj)
            u_.obj->addRef();
        return;
    }
    // An array with an element lent out by reference must not be shared: a later write
    // through that reference would show in both copies.
    // A copy of a fixed array is an ordinary dynamic array, so it cannot share the data.
    if (u_.arr->locks > 0 || u_.arr->fixed) {
        auto* copy = new ArrayData(u_.arr->bounds);
        copy->items = u_.arr->items;
        u_.arr = copy;
    } else {
        ++u_.arr->refs;
    }
}

ArrayData* Variant::arrayForWrite()
{
    // References held for elements lent out are not owners: copying then would leave the
    // lent elements behind in the old array, and writes through them would be lost.
    if (u_.arr->refs - u_.arr->locks > 1) {
        auto* copy = new ArrayData(u_.arr->bounds);
        copy->items = u_.arr->items;
        copy->fixed = u_.arr->fixed;
        --u_.arr->refs;
        u_.arr = copy;
    }
    return u_.arr;
}

ArrayData::ArrayData(std::vector<Bound> b) : bounds(std::move(b))
{
    size_t n = 1;
    for (const Bound& x : bounds)
        n *= size_t(std::max(0, x.count));
    if (bounds.empty())
        n = 0;
    items.resize(n);
}

size_t ArrayData::offset(std::span<const int32_t> index) const
{
    if (index.size() != bounds.size())
        raiseError(errSubscript);
    size_t off = 0, stride = 1;
    for (size_t k = 0; k < bounds.size(); ++k) {
        int64_t i = int64_t(index[k]) - bounds[k].lower;
        if (i < 0 || i >= bounds[k].count)
            raiseError(errSubscript);
        off += size_t(i) * stride;
        stride *= size_t(bounds[k].count);
    }
    return off;
}

// ---------------------------------------------------------------- coercions

double roundBankers(double d)
{
    return std::nearbyint(d);  // the default rounding mode rounds half to even
}

Variant valueOf(const Variant& v)
{
    if (v.type() != vtObject)
        return v;
    Dispatch* d = v.object();
    if (!d)
        raiseError(errObjectNotSet);
    Variant r = d->invoke(Dispatch::kDefault, InvokeKind::Get, {});
    if (r.type() == vtObject)
        return valueOf(r);
    return r;
}

static bool stringToBool(const QString& s, bool& out)
{
    QString t = s.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) { out = true; return true; }
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) { out = false; return true; }
    // The forms CStr gives Booleans in some locales' text files.
    if (t.compare(QLatin1String("#true#"), Qt::CaseInsensitive) == 0) { out = true; return true; }
    if (t.compare(QLatin1String("#false#"), Qt::CaseInsensitive) == 0) { out = false; return true; }
    double d;
    if (parseNumber(t, d)) { out = d != 0; return true; }
    return false;
}

bool toBool(const Variant& v)
{
    switch (v.type()) {
    case vtEmpty: return false;
    case vtBoolean: return v.boolValue();
    case vtByte: return v.byteValue() != 0;
    case vtInteger: return v.intValue() != 0;
    case vtLong: return v.longValue() != 0;
    case vtSingle: return v.singleValue() != 0;
    case vtDouble: case vtDate: return v.doubleValue() != 0;
    case vtCurrency: return v.currencyValue() != 0;
    case vtString: {
        bool b;
        if (!stringToBool(v.str(), b))
            raiseError(errTypeMismatch);
        return b;
    }
    case vtNull: raiseError(errInvalidNull);
    case vtObject: return toBool(valueOf(v));
    default: raiseError(errTypeMismatch);
    }
}

double toDouble(const Variant& v)
{
    switch (v.type()) {
    case vtEmpty: return 0;
    case vtBoolean: return v.boolValue() ? -1 : 0;
    case vtByte: return v.byteValue();
    case vtInteger: return v.intValue();
    case vtLong: return v.longValue();
    case vtSingle: return v.singleValue();
    case vtDouble: case vtDate: return v.doubleValue();
    case vtCurrency: return double(v.currencyValue()) / 10000.0;
    case vtString: {
        double d;
        if (parseNumber(v.str(), d))
            return d;
        if (parseDate(v.str(), d))
            return d;
        raiseError(errTypeMismatch);
    }
    case vtNull: raiseError(errInvalidNull);
    case vtObject: return toDouble(valueOf(v));
    default: raiseError(errTypeMismatch);
    }
}

static int64_t toWhole(const Variant& v, int64_t lo, int64_t hi)
{
    int64_t n;
    switch (v.type()) {
    case vtEmpty: n = 0; break;
    case vtBoolean: n = v.boolValue() ? -1 : 0; break;
    case vtByte: n = v.byteValue(); break;
    case vtInteger: n = v.intValue(); break;
    case vtLong: n = v.longValue(); break;
    case vtCurrency: {
        // Round half to even on the scaled value.
        int64_t c = v.currencyValue();
        int64_t q = c / 10000, r = c % 10000;
        if (r > 5000 || (r == 5000 && (q & 1))) ++q;
        else if (r < -5000 || (r == -5000 && (q & 1))) --q;
        n = q;
        break;
    }
    default: {
        double d = roundBankers(toDouble(v));
        if (!(d >= double(lo) && d <= double(hi)))
            raiseError(errOverflow);
        return int64_t(d);
    }
    }
    if (n < lo || n > hi)
        raiseError(errOverflow);
    return n;
}

int32_t toLong(const Variant& v) { return int32_t(toWhole(v, INT32_MIN, INT32_MAX)); }
int16_t toInteger(const Variant& v) { return int16_t(toWhole(v, -32768, 32767)); }
uint8_t toByte(const Variant& v) { return uint8_t(toWhole(v, 0, 255)); }

int64_t toCurrency(const Variant& v)
{
    switch (v.type()) {
    case vtCurrency: return v.currencyValue();
    case vtByte: case vtInteger: case vtLong: case vtBoolean: case vtEmpty:
        return toWhole(v, INT32_MIN, INT32_MAX) * 10000;
    default: {
        // Scaled as a double, halves to even, like the platform's conversion; past 2^53 the
        // product is taken in extended precision, as a 15-digit whole number times 10,000 does
        // not fit a double (CCur(922337203685477) must not come out as ...476.9664).
        const double x = toDouble(v);
        const double scaled = x * 10000.0;
        long double d = std::fabs(scaled) < 9007199254740992.0
                            ? static_cast<long double>(roundBankers(scaled))
                            : std::nearbyint(static_cast<long double>(x) * 10000.0L);
        if (!(std::fabs(d) < 9.2233720368547758e18L))
            raiseError(errOverflow);
        return int64_t(d);
    }
    }
}

double toDate(const Variant& v)
{
    if (v.type() == vtString) {
        double d;
        if (parseDate(v.str(), d))
            return d;
        if (parseNumber(v.str(), d))
            return d;
        raiseError(errTypeMismatch);
    }
    double d = toDouble(v);
    if (d < -657434.0 || d >= 2958466.0)
        raiseError(errOverflow);
    return d;
}

QString formatDouble(double d, int digits)
{
    if (d == 0)
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, d);
    QString s = QString::fromLatin1(buf);
    // C writes "1E-05"; the exponent keeps two digits as VBScript writes it.
    return s;
}

QString formatCurrency(int64_t c)
{
    bool neg = c < 0;
    uint64_t u = neg ? uint64_t(-(c + 1)) + 1 : uint64_t(c);
    QString s = QString::number(u / 10000);
    uint64_t frac = u % 10000;
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, QLatin1Char('0'));
        while (f.endsWith(QLatin1Char('0')))
            f.chop(1);
        s += QLatin1Char('.') + f;
    }
    return neg ? QLatin1Char('-') + s : s;
}

bool parseNumber(const QString& text, double& out)
{
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0xA0); };
    while (p < end && blank(*p)) ++p;
    while (end > p && blank(end[-1])) --end;
    if (p == end)
        return false;
    // Number text as the platform's own parser takes it: the amount may carry the locale's
    // currency symbol, a sign before or after it, or parentheses for a negative amount
    // ("$1,000", "12-", "(12)"), each at most once.
    const QString& currency = scriptCurrencySymbol();
    auto currencyAt = [&](const QChar* q) {
        return !currency.isEmpty() && end - q >= currency.size()
               && QStringView(q, currency.size()) == currency;
    };
    bool neg = false, signSeen = false, paren = false, currencySeen = false;
    for (;;) {
        if (!paren && *p == QLatin1Char('(')) {
            paren = true;
            ++p;
        } else if (!signSeen && (*p == QLatin1Char('+') || *p == QLatin1Char('-'))) {
            signSeen = true;
            neg = *p == QLatin1Char('-');
            ++p;
        } else if (!currencySeen && currencyAt(p)) {
            currencySeen = true;
            p += currency.size();
        } else {
            break;
        }
        while (p < end && blank(*p)) ++p;
        if (p == end)
            return false;
    }
    if (*p == QLatin1Char('&') && p + 1 < end) {
        if (paren || currencySeen)
            return false;
        QChar k = p[1].toUpper();
        int base = k == QLatin1Char('H') ? 16 : k == QLatin1Char('O') ? 8 : 0;
        if (!base)
            return false;
        p += 2;
        if (p == end)
            return false;
        uint64_t n = 0;
        int digitsSeen = 0;
        for (; p < end; ++p) {
            int dv = p->isDigit() ? p->unicode() - '0' : (base == 16 && p->toUpper() >= QLatin1Char('A') && p->toUpper() <= QLatin1Char('F')) ? p->toUpper().unicode() - 'A' + 10 : -1;
            if (dv < 0 || dv >= base)
                return false;
            n = n * base + dv;
            if (++digitsSeen > 22)
                return false;
        }
        // Hex text is a 32-bit pattern (or 16-bit for up to four digits).
        double v;
        if (base == 16 && digitsSeen <= 4) v = double(int16_t(uint16_t(n)));
        else if (n <= 0xFFFFFFFFull) v = double(int32_t(uint32_t(n)));
        else return false;
        out = neg ? -v : v;
        return true;
    }
    // Plain digits, what most text that holds a number is, need no detour through a parser.
    if (!paren && end - p <= 18) {
        uint64_t n = 0;
        const QChar* q = p;
        for (; q < end && q->unicode() >= '0' && q->unicode() <= '9'; ++q)
            n = n * 10 + (q->unicode() - '0');
        if (q == end && q > p) {
            out = neg ? -double(n) : double(n);
            return true;
        }
    }
    QByteArray digits;
    bool seenDigit = false, seenDot = false;
    // In a locale that writes "1,5" the comma is the decimal point and the dot groups digits.
    const char point = scriptDecimalPoint() == QLatin1Char(',') ? ',' : '.';
    const char grouping = point == ',' ? '.' : ',';
    for (; p < end; ++p) {
        char c = char(p->unicode());
        if (p->unicode() < 128 && c >= '0' && c <= '9') { digits += c; seenDigit = true; }
        else if (c == point && !seenDot) { digits += '.'; seenDot = true; }
        else if (c == grouping && seenDigit && !seenDot) { /* thousands separator */ }
        else break;
    }
    if (!seenDigit)
        return false;
    if (p < end && (p->toUpper() == QLatin1Char('E') || p->toUpper() == QLatin1Char('D'))) {
        digits += 'e';
        ++p;
        if (p < end && (*p == QLatin1Char('+') || *p == QLatin1Char('-'))) { digits += char(p->unicode()); ++p; }
        bool expDigit = false;
        while (p < end && p->isDigit() && p->unicode() < 128) { digits += char(p->unicode()); ++p; expDigit = true; }
        if (!expDigit)
            return false;
    }
    bool closed = false;
    while (p < end) {
        if (blank(*p)) {
            ++p;
        } else if (!currencySeen && currencyAt(p)) {
            currencySeen = true;
            p += currency.size();
        } else if (!signSeen && (*p == QLatin1Char('+') || *p == QLatin1Char('-'))) {
            signSeen = true;
            neg = *p == QLatin1Char('-');
            ++p;
        } else if (paren && !closed && *p == QLatin1Char(')')) {
            closed = true;
            ++p;
        } else {
            return false;
        }
    }
    if (paren != closed || (paren && signSeen))
        return false;
    neg = neg || paren;
    bool ok = false;
    double v = digits.toDouble(&ok);
    if (!ok || std::isinf(v))
        return false;
    out = neg ? -v : v;
    return true;
}

static const QDate kEpoch(1899, 12, 30);

QString formatDate(double d)
{
    double days = std::trunc(d);
    double frac = std::fabs(d - days);
    int secs = int(std::lround(frac * 86400.0));
    if (secs >= 86400) { secs = 0; days += d < 0 ? -1 : 1; }
    const LocaleForm& form = activeLocaleForm();
    QString out;
    // Day 0 (30 December 1899) is shown as a bare time, midnight included.
    if (days != 0)
        out = kEpoch.addDays(qint64(days)).toString(QLatin1String(form.datePattern));
    if (secs != 0 || days == 0) {
        QString t = QTime(0, 0).addSecs(secs).toString(QLatin1String(form.timePattern));
        out = out.isEmpty() ? t : out + QLatin1Char(' ') + t;
    }
    return out;
}

static bool isWeekdayWord(const QString& w)
{
    static const char* days[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
    if (w.size() < 3)
        return false;
    for (const char* d : days)
        if (QLatin1String(d).startsWith(w))
            return true;
    return false;
}

bool parseDate(const QString& text, double& out, bool localeOrder)
{
    const bool dayFirst = localeOrder && activeLocaleForm().dayFirst;
    static const char* months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    // Split into number and word tokens with their separators.
    struct Tok { QString text; bool number; QChar sepAfter; };
    std::vector<Tok> toks;
    int i = 0;
    while (i < s.size()) {
        QChar c = s[i];
        if (c.isDigit()) {
            int j = i;
            while (j < s.size() && s[j].isDigit()) ++j;
            toks.push_back({s.mid(i, j - i), true, QChar()});
            i = j;
        } else if (c.isLetter()) {
            int j = i;
            while (j < s.size() && s[j].isLetter()) ++j;
            toks.push_back({s.mid(i, j - i).toLower(), false, QChar()});
            i = j;
        } else {
            if (!toks.empty() && toks.back().sepAfter.isNull() && c != QLatin1Char(' '))
                toks.back().sepAfter = c;
            else if (!toks.empty() && c != QLatin1Char(' ') && toks.back().sepAfter == QLatin1Char(' '))
                toks.back().sepAfter = c;
            else if (!toks.empty() && toks.back().sepAfter.isNull())
                toks.back().sepAfter = c;
            if (c != QLatin1Char('/') && c != QLatin1Char('-') && c != QLatin1Char(':') && c != QLatin1Char(' ')
                && c != QLatin1Char(',') && c != QLatin1Char('.'))
                return false;
            ++i;
        }
    }
    std::vector<int> dateNums, timeNums;
    int monthWord = 0;
    int ampm = 0;
    for (size_t k = 0; k < toks.size(); ++k) {
        const Tok& t = toks[k];
        bool timePart = t.sepAfter == QLatin1Char(':') || (k > 0 && toks[k - 1].sepAfter == QLatin1Char(':'));
        if (t.number) {
            if (t.text.size() > 4)
                return false;
            (timePart ? timeNums : dateNums).push_back(t.text.toInt());
        } else if (t.text == QLatin1String("am") || t.text == QLatin1String("a")) {
            ampm = 1;
        } else if (t.text == QLatin1String("pm") || t.text == QLatin1String("p")) {
            ampm = 2;
        } else if (isWeekdayWord(t.text)) {
            continue;  // "Monday, January 3, 2000": the day's name says nothing the date does not
        } else {
            int m = 0;
            for (int x = 0; x < 12; ++x)
                if (t.text.startsWith(QLatin1String(months[x]))) m = x + 1;
            if (!m || monthWord)
                return false;
            monthWord = m;
        }
    }
    if (dateNums.empty() && timeNums.empty() && !monthWord)
        return false;
    double days = 0;
    if (!dateNums.empty() || monthWord) {
        int y = 0, m = 0, d = 0;
        if (monthWord && dateNums.size() == 1) {
            // "Jan 2000" is the first of the month; "2 Jan" and "Jan 2" are in this year.
            m = monthWord;
            if (dateNums[0] > 31) { y = dateNums[0]; d = 1; }
            else { d = dateNums[0]; y = QDate::currentDate().year(); }
        } else if (monthWord) {
            if (dateNums.size() != 2) return false;
            m = monthWord;
            if (dateNums[0] > 31) { y = dateNums[0]; d = dateNums[1]; }
            else { d = dateNums[0]; y = dateNums[1]; }
        } else if (dateNums.size() == 3) {
            if (dateNums[0] > 31) { y = dateNums[0]; m = dateNums[1]; d = dateNums[2]; }
            else { m = dateNums[0]; d = dateNums[1]; y = dateNums[2]; }
            if (dayFirst || (m > 12 && d <= 12)) std::swap(m, d);
            if (dayFirst && m > 12 && d <= 12) std::swap(m, d);
        } else if (dateNums.size() == 2) {
            m = dateNums[0]; d = dateNums[1]; y = kEpoch.year() + 127;  // placeholder replaced below
            y = QDate::currentDate().year();
            if (dayFirst || (m > 12 && d <= 12)) std::swap(m, d);
            if (dayFirst && m > 12 && d <= 12) std::swap(m, d);
        } else {
            return false;
        }
        if (y < 30) y += 2000;
        else if (y < 100) y += 1900;
        QDate date(y, m, d);
        if (!date.isValid() || y > 9999)
            return false;
        days = double(kEpoch.daysTo(date));
    }
    double frac = 0;
    if (!timeNums.empty()) {
        int h = timeNums[0], mi = timeNums.size() > 1 ? timeNums[1] : 0, se = timeNums.size() > 2 ? timeNums[2] : 0;
        if (timeNums.size() > 3 || h > 23 || mi > 59 || se > 59)
            return false;
        if (ampm) {
            if (h > 12) return false;
            if (ampm == 1 && h == 12) h = 0;
            if (ampm == 2 && h < 12) h += 12;
        }
        frac = (h * 3600 + mi * 60 + se) / 86400.0;
    } else if (ampm) {
        return false;
    }
    out = days < 0 ? days - frac : days + frac;
    return true;
}

// Number text with the decimal point of the locale a script chose.
static QString localDecimal(QString s)
{
    QChar point = scriptDecimalPoint();
    if (point != QLatin1Char('.'))
        s.replace(QLatin1Char('.'), point);
    return s;
}

QString toStr(const Variant& v)
{
    switch (v.type()) {
    case vtEmpty: return QString();
    case vtString: return v.str();
    case vtBoolean: return v.boolValue() ? QStringLiteral("True") : QStringLiteral("False");
    case vtByte: return QString::number(v.byteValue());
    case vtInteger: return QString::number(v.intValue());
    case vtLong: return QString::number(v.longValue());
    case vtSingle: return localDecimal(formatDouble(v.singleValue(), 7));
    case vtDouble: return localDecimal(formatDouble(v.doubleValue()));
    case vtCurrency: return localDecimal(formatCurrency(v.currencyValue()));
    case vtDate: return formatDate(v.doubleValue());
    case vtNull: raiseError(errInvalidNull);
    case vtObject: return toStr(valueOf(v));
    default: raiseError(errTypeMismatch);
    }
}

Variant convertTo(const Variant& v, uint16_t vt)
{
    switch (vt) {
    case vtBoolean: return Variant::fromBool(toBool(v));
    case vtByte: return Variant::fromByte(v.type() == vtBoolean ? (v.boolValue() ? 255 : 0) : toByte(v));
    case vtInteger: return Variant::fromInteger(toInteger(v));
    case vtLong: return Variant::fromLong(toLong(v));
    case vtSingle: {
        double d = toDouble(v);
        if (std::fabs(d) > 3.402823466e38)
            raiseError(errOverflow);
        return Variant::fromSingle(float(d));
    }
    case vtDouble: return Variant::fromDouble(toDouble(v));
    case vtCurrency: return Variant::fromCurrency(toCurrency(v));
    case vtDate: return Variant::fromDate(toDate(v));
    case vtString: return Variant::fromString(toStr(v));
    default: return v;
    }
}

QString typeName(const Variant& v)
{
    switch (v.type()) {
    case vtEmpty: return QStringLiteral("Empty");
    case vtNull: return QStringLiteral("Null");
    case vtInteger: return QStringLiteral("Integer");
    case vtLong: return QStringLiteral("Long");
    case vtSingle: return QStringLiteral("Single");
    case vtDouble: return QStringLiteral("Double");
    case vtCurrency: return QStringLiteral("Currency");
    case vtDate: return QStringLiteral("Date");
    case vtString: return QStringLiteral("String");
    case vtObject: return v.object() ? v.object()->typeName() : QStringLiteral("Nothing");
    case vtError: return QStringLiteral("Error");
    case vtBoolean: return QStringLiteral("Boolean");
    case vtByte: return QStringLiteral("Byte");
    default: return v.isArray() ? QStringLiteral("Variant()") : QStringLiteral("Unknown");
    }
}

// ---------------------------------------------------------------- arithmetic

namespace {

// The numeric kinds the arithmetic operators work in, in promotion order.
enum Kind { kByte, kInteger, kLong, kSingle, kDouble, kCurrency, kDate };

Kind kindOf(const Variant& v)
{
    switch (v.type()) {
    case vtByte: return kByte;
    case vtEmpty: case vtBoolean: case vtInteger: return kInteger;
    case vtLong: return kLong;
    case vtSingle: return kSingle;
    case vtCurrency: return kCurrency;
    case vtDate: return kDate;
    case vtString: case vtDouble: return kDouble;
    default: raiseError(errTypeMismatch);
    }
}

Kind resultKind(Kind a, Kind b)
{
    if (a == kDate || b == kDate) return kDate;
    if (a == kCurrency || b == kCurrency) {
        Kind o = a == kCurrency ? b : a;
        return (o == kSingle || o == kDouble) ? kDouble : kCurrency;
    }
    if (a == kDouble || b == kDouble) return kDouble;
    if (a == kSingle || b == kSingle) {
        Kind o = a == kSingle ? b : a;
        return o == kLong ? kDouble : kSingle;
    }
    return std::max(a, b);
}

// Integer result, promoted Byte -> Integer -> Long -> Double on overflow.
Variant wholeResult(int64_t n, Kind k)
{
    if (k == kByte && n >= 0 && n <= 255)
        return Variant::fromByte(uint8_t(n));
    if (k <= kInteger && n >= -32768 && n <= 32767)
        return Variant::fromInteger(int16_t(n));
    if (n >= INT32_MIN && n <= INT32_MAX)
        return Variant::fromLong(int32_t(n));
    return Variant::fromDouble(double(n));
}

int64_t wholeOf(const Variant& v)
{
    switch (v.type()) {
    case vtByte: return v.byteValue();
    case vtInteger: return v.intValue();
    case vtLong: return v.longValue();
    case vtBoolean: return v.boolValue() ? -1 : 0;
    default: return 0;
    }
}

Variant doubleResult(double d)
{
    if (!std::isfinite(d))
        raiseError(errOverflow);
    return Variant::fromDouble(d);
}

Variant singleResult(double d)
{
    if (!std::isfinite(d))
        raiseError(errOverflow);
    if (std::fabs(d) > 3.402823466e38)
        return Variant::fromDouble(d);
    return Variant::fromSingle(float(d));
}

Variant currencyResult(long double c)
{
    long double r = std::nearbyint(c);
    if (!(std::fabs(r) < 9.2233720368547758e18L))
        raiseError(errOverflow);
    return Variant::fromCurrency(int64_t(r));
}

Variant dateResult(double d)
{
    if (!std::isfinite(d) || d < -657434.0 || d >= 2958466.0)
        raiseError(errOverflow);
    return Variant::fromDate(d);
}

Variant arith(BinOp op, const Variant& a, const Variant& b)
{
    Kind ka = kindOf(a), kb = kindOf(b);
    Kind k = resultKind(ka, kb);
    if (op == BinOp::Mul && k == kDate)
        k = kDouble;
    if (op == BinOp::Sub && ka == kDate && kb == kDate)
        k = kDouble;
    switch (k) {
    case kByte: case kInteger: case kLong: {
        int64_t x = wholeOf(a), y = wholeOf(b);
        int64_t r = op == BinOp::Add ? x + y : op == BinOp::Sub ? x - y : x * y;
        return wholeResult(r, k);
    }
    case kSingle: {
        double x = toDouble(a), y = toDouble(b);
        return singleResult(op == BinOp::Add ? x + y : op == BinOp::Sub ? x - y : x * y);
    }
    case kDouble: {
        double x = toDouble(a), y = toDouble(b);
        return doubleResult(op == BinOp::Add ? x + y : op == BinOp::Sub ? x - y : x * y);
    }
    case kCurrency: {
        long double x = toCurrency(a), y = toCurrency(b);
        return currencyResult(op == BinOp::Add ? x + y : op == BinOp::Sub ? x - y : x * y / 10000.0L);
    }
    case kDate: {
        double x = toDouble(a), y = toDouble(b);
        return dateResult(op == BinOp::Add ? x + y : x - y);
    }
    }
    return Variant();
}

// Operands of \, Mod and the logical operators as whole numbers, with the result kind.
Kind integerKind(const Variant& a, const Variant& b)
{
    Kind ka = a.type() == vtByte ? kByte : (a.type() == vtInteger || a.type() == vtBoolean || a.type() == vtEmpty) ? kInteger : kLong;
    Kind kb = b.type() == vtByte ? kByte : (b.type() == vtInteger || b.type() == vtBoolean || b.type() == vtEmpty) ? kInteger : kLong;
    return std::max(ka, kb);
}

// The logical operators treat Empty as a Long: Empty And Empty is a Long 0.
Kind logicalKind(const Variant& a, const Variant& b)
{
    Kind k = integerKind(a, b);
    return (a.isEmpty() || b.isEmpty()) ? std::max(k, kLong) : k;
}

Variant integerResult(int64_t n, Kind k)
{
    if (k == kByte) return Variant::fromByte(uint8_t(n));
    if (k == kInteger) return Variant::fromInteger(int16_t(n));
    return Variant::fromLong(int32_t(n));
}

// Strings in logical operators may be "True"/"False" as well as numbers.
Variant logicalOperand(const Variant& v)
{
    if (v.type() == vtString) {
        double d;
        if (parseNumber(v.str(), d))
            return Variant::fromDouble(d);
        bool b;
        if (stringToBool(v.str(), b))
            return Variant::fromBool(b);
        raiseError(errTypeMismatch);
    }
    return v;
}

} // namespace

Variant negate(const Variant& in)
{
    Variant v = valueOf(in);
    switch (v.type()) {
    case vtNull: return v;
    case vtEmpty: return Variant::fromInteger(0);
    case vtBoolean: return Variant::fromInteger(v.boolValue() ? 1 : 0);
    case vtByte: return Variant::fromInteger(int16_t(-v.byteValue()));
    case vtInteger: return wholeResult(-int64_t(v.intValue()), kInteger);
    case vtLong: return wholeResult(-int64_t(v.longValue()), kLong);
    case vtSingle: return Variant::fromSingle(-v.singleValue());
    case vtDouble: return Variant::fromDouble(-v.doubleValue());
    case vtDate: return dateResult(-v.doubleValue());
    case vtCurrency:
        if (v.currencyValue() == INT64_MIN) raiseError(errOverflow);
        return Variant::fromCurrency(-v.currencyValue());
    case vtString: return Variant::fromDouble(-toDouble(v));
    default: raiseError(errTypeMismatch);
    }
}

Variant notOp(const Variant& in)
{
    Variant v = logicalOperand(valueOf(in));
    switch (v.type()) {
    case vtNull: return v;
    case vtBoolean: return Variant::fromBool(!v.boolValue());
    case vtEmpty: return Variant::fromLong(-1);
    case vtByte: return Variant::fromByte(uint8_t(~v.byteValue()));
    case vtInteger: return Variant::fromInteger(int16_t(~v.intValue()));
    default: return Variant::fromLong(~toLong(v));
    }
}

static Variant logical(BinOp op, const Variant& a, const Variant& b)
{
    // Null is "unknown": it decides nothing unless the other operand decides the result.
    if (a.isNull() || b.isNull()) {
        const Variant& o = a.isNull() ? b : a;
        if (o.isNull())
            return Variant::null();
        if (op == BinOp::And && toLong(o.type() == vtBoolean ? Variant::fromInteger(o.boolValue() ? -1 : 0) : o) == 0)
            return o.type() == vtBoolean ? Variant::fromBool(false) : integerResult(0, logicalKind(o, o));
        if (op == BinOp::Or && o.type() == vtBoolean && o.boolValue())
            return Variant::fromBool(true);
        // Imp is decided when the known side makes every bit true: a true right side or a
        // left side with no bit set. The result keeps that operand's kind.
        auto allTrue = [](const Variant& known, bool negated) {
            Kind k = logicalKind(known, known);
            Variant r = known.type() == vtBoolean ? Variant::fromBool(true) : integerResult(-1, k);
            int32_t x = toLong(known.type() == vtBoolean ? Variant::fromInteger(known.boolValue() ? -1 : 0) : known);
            bool decided = negated ? x == 0 : (k == kByte ? (x & 0xFF) == 0xFF : x == -1);
            return decided ? r : Variant::null();
        };
        if (op == BinOp::Imp)
            return a.isNull() ? allTrue(b, false) : allTrue(a, true);
        return Variant::null();
    }
    if (a.type() == vtBoolean && b.type() == vtBoolean) {
        bool x = a.boolValue(), y = b.boolValue(), r = false;
        switch (op) {
        case BinOp::And: r = x && y; break;
        case BinOp::Or: r = x || y; break;
        case BinOp::Xor: r = x != y; break;
        case BinOp::Eqv: r = x == y; break;
        default: r = !x || y; break;
        }
        return Variant::fromBool(r);
    }
    Kind k = logicalKind(a, b);
    int32_t x = toLong(a), y = toLong(b), r = 0;
    switch (op) {
    case BinOp::And: r = x & y; break;
    case BinOp::Or: r = x | y; break;
    case BinOp::Xor: r = x ^ y; break;
    case BinOp::Eqv: r = ~(x ^ y); break;
    default: r = ~x | y; break;
    }
    return integerResult(r, k);
}

int compareValues(const Variant& a, const Variant& b, bool textCompare, bool hardA, bool hardB)
{
    bool sa = a.type() == vtString, sb = b.type() == vtString;
    if (sa && sb)
        return QString::compare(a.str(), b.str(), textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive) < 0 ? -1
               : QString::compare(a.str(), b.str(), textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive) > 0 ? 1 : 0;
    if (sa || sb) {
        const Variant& o = sa ? b : a;
        if (o.isEmpty()) {
            const QString& s = sa ? a.str() : b.str();
            int c = s.isEmpty() ? 0 : 1;
            return sa ? c : -c;
        }
        if (!o.isNumeric())
            raiseError(errTypeMismatch);
        // True and False literals do not convert the string; number literals do, and text
        // that holds no number cannot be compared with one.
        bool hardNum = (sa ? hardB : hardA) && o.type() != vtBoolean;
        bool hardStr = sa ? hardA : hardB;
        double parsed;
        if (hardNum && o.type() != vtDate && !hardStr && !parseNumber(sa ? a.str() : b.str(), parsed))
            raiseError(errTypeMismatch);
        if (hardNum && parseNumber(sa ? a.str() : b.str(), parsed)) {
            // A literal number converts the string when the string holds a number.
            double x = parsed, y = toDouble(o);
            int c = x < y ? -1 : x > y ? 1 : 0;
            return sa ? c : -c;
        }
        if (hardStr) {
            QString x = sa ? a.str() : b.str(), y = toStr(o);
            int c = QString::compare(x, y, textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive);
            c = c < 0 ? -1 : c > 0 ? 1 : 0;
            return sa ? c : -c;
        }
        // A numeric variant is always less than a string variant.
        return sa ? 1 : -1;
    }
    if (!a.isNumeric() || !b.isNumeric())
        raiseError(errTypeMismatch);
    if (a.type() == vtCurrency && b.type() == vtCurrency)
        return a.currencyValue() < b.currencyValue() ? -1 : a.currencyValue() > b.currencyValue() ? 1 : 0;
    double x = toDouble(a), y = toDouble(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

Variant compareOp(BinOp op, const Variant& ain, const Variant& bin, bool hardA, bool hardB)
{
    if (op == BinOp::Is) {
        if (ain.type() != vtObject || bin.type() != vtObject)
            raiseError(errObjectRequired);
        return Variant::fromBool(ain.object() == bin.object());
    }
    Variant a = valueOf(ain), b = valueOf(bin);
    if (a.isArray() || b.isArray())
        raiseError(errTypeMismatch);
    if (a.isNull() || b.isNull())
        return Variant::null();
    int c = compareValues(a, b, false, hardA, hardB);
    bool r = false;
    switch (op) {
    case BinOp::Eq: r = c == 0; break;
    case BinOp::Ne: r = c != 0; break;
    case BinOp::Lt: r = c < 0; break;
    case BinOp::Le: r = c <= 0; break;
    case BinOp::Gt: r = c > 0; break;
    case BinOp::Ge: r = c >= 0; break;
    default: break;
    }
    return Variant::fromBool(r);
}

Variant binaryOp(BinOp op, const Variant& ain, const Variant& bin)
{
    switch (op) {
    case BinOp::Eq: case BinOp::Ne: case BinOp::Lt: case BinOp::Le: case BinOp::Gt: case BinOp::Ge: case BinOp::Is:
        return compareOp(op, ain, bin, false, false);
    default:
        break;
    }
    Variant a = valueOf(ain), b = valueOf(bin);
    if (a.isArray() || b.isArray() || a.type() == vtError || b.type() == vtError)
        raiseError(errTypeMismatch);
    switch (op) {
    case BinOp::Concat: {
        if (a.isNull() && b.isNull())
            return a;
        QString s = a.isNull() ? QString() : toStr(a);
        if (!b.isNull())
            s += toStr(b);
        return Variant::fromString(std::move(s));
    }
    case BinOp::Add:
        if (a.isNull() || b.isNull())
            return Variant::null();
        if ((a.isString() && (b.isString() || b.isEmpty())) || (b.isString() && a.isEmpty()))
            return Variant::fromString(toStr(a) + toStr(b));
        return arith(op, a, b);
    case BinOp::Sub: case BinOp::Mul:
        if (a.isNull() || b.isNull())
            return Variant::null();
        return arith(op, a, b);
    case BinOp::Div: {
        if (a.isNull() || b.isNull())
            return Variant::null();
        double x = toDouble(a), y = toDouble(b);
        if (y == 0)
            raiseError(x == 0 ? errOverflow : errDivByZero);
        bool single = (a.type() == vtSingle || b.type() == vtSingle) && kindOf(a) != kDouble && kindOf(b) != kDouble
                      && kindOf(a) != kLong && kindOf(b) != kLong && kindOf(a) != kCurrency && kindOf(b) != kCurrency;
        return single ? singleResult(x / y) : doubleResult(x / y);
    }
    case BinOp::IntDiv: case BinOp::Mod: {
        if (a.isNull() || b.isNull())
            return Variant::null();
        Kind k = integerKind(a, b);
        int64_t x = toLong(a), y = toLong(b);
        if (y == 0)
            raiseError(errDivByZero);
        int64_t r = op == BinOp::IntDiv ? x / y : x % y;
        return wholeResult(r, k == kByte ? kByte : k);
    }
    case BinOp::Pow: {
        if (a.isNull() || b.isNull())
            return Variant::null();
        double x = toDouble(a), y = toDouble(b);
        if (x == 0 && y < 0)
            raiseError(errInvalidCall);
        if (x < 0 && y != std::trunc(y))
            raiseError(errInvalidCall);
        return doubleResult(std::pow(x, y));
    }
    case BinOp::And: case BinOp::Or: case BinOp::Xor: case BinOp::Eqv: case BinOp::Imp:
        return logical(op, logicalOperand(a), logicalOperand(b));
    default:
        return Variant();
    }
}

} // namespace script
