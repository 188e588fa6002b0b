// Date and time functions on date values (days since 1899-12-30, time as the fraction). The
// calendar arithmetic works on dates and whole seconds, never on local clock time, so a
// daylight-saving change cannot move a result.
#include "script/Library.h"

#include "platform/Clock.h"
#include "platform/VbDate.h"
#include "script/Locale.h"

#include <QLocale>
#include <cmath>

namespace script::lib {

namespace {

constexpr int kSecsPerDay = 86400;

struct Parts {
    QDate date;
    int secs = 0;   // seconds since midnight, rounded
};

Parts split(double oa)
{
    if (!platform::IsValidOADate(oa))
        raiseError(errInvalidCall);
    double whole = std::trunc(oa);
    double frac = std::fabs(oa - whole);
    qint64 days = qint64(whole);
    int secs = int(std::llround(frac * kSecsPerDay));
    if (secs >= kSecsPerDay) {
        secs -= kSecsPerDay;
        ++days;
    }
    return {platform::OADateEpoch().addDays(days), secs};
}

double join(const QDate& d, double secs)
{
    qint64 days = platform::OADateEpoch().daysTo(d);
    double frac = secs / kSecsPerDay;
    return days >= 0 ? double(days) + frac : double(days) - frac;
}

// A date value on a straight line (the fraction of a negative value counts forward), and back.
double toLinear(double oa)
{
    double whole = std::trunc(oa);
    return whole + std::fabs(oa - whole);
}

double fromLinear(double lin)
{
    double days = std::floor(lin);
    double frac = lin - days;
    return days >= 0 ? days + frac : days - frac;
}

Variant dateResult(double oa)
{
    if (!platform::IsValidOADate(oa))
        raiseError(errInvalidCall);
    return Variant::fromDate(oa);
}

// First day of the week argument: 0 (system) to 7; anything else raises 5.
int firstDay(Args a, size_t i)
{
    int32_t d = optLong(a, i, platform::vbSunday);
    if (d < 0 || d > 7)
        raiseError(errInvalidCall);
    return d;
}

int firstWeek(Args a, size_t i)
{
    int32_t w = optLong(a, i, platform::vbFirstJan1);
    if (w < 0 || w > 3)
        raiseError(errInvalidCall);
    return w;
}

int systemFirstDay() { return int(QLocale().firstDayOfWeek()) % 7 + 1; }

// The clock to the whole second, as the classic Now reports it.
double nowValue()
{
    QDateTime t = platform::Now();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return platform::ToOADate(t);
}

Variant bNow(Frame&, Args) { return Variant::fromDate(nowValue()); }
Variant bDate(Frame&, Args) { return Variant::fromDate(std::floor(nowValue())); }

Variant bTime(Frame&, Args)
{
    QTime t = platform::Now().time();
    return Variant::fromDate(t.msecsSinceStartOfDay() / 1000 / double(kSecsPerDay));
}

Variant bTimer(Frame&, Args)
{
    // Seconds since midnight to the hundredth, as the classic timer counts.
    QTime t = platform::Now().time();
    return Variant::fromSingle(float(t.msecsSinceStartOfDay() / 10) / 100.0f);
}

template <int Which> Variant bPart(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    Parts p = split(toDate(v));
    switch (Which) {
    case 0: return Variant::fromInteger(int16_t(p.date.year()));
    case 1: return Variant::fromInteger(int16_t(p.date.month()));
    case 2: return Variant::fromInteger(int16_t(p.date.day()));
    case 3: return Variant::fromInteger(int16_t(p.secs / 3600));
    case 4: return Variant::fromInteger(int16_t(p.secs / 60 % 60));
    default: return Variant::fromInteger(int16_t(p.secs % 60));
    }
}

Variant bWeekday(Frame&, Args a)
{
    Variant v = arg(a, 0);
    int fd = firstDay(a, 1);
    if (v.isNull())
        return v;
    return Variant::fromInteger(int16_t(platform::Weekday(split(toDate(v)).date, fd)));
}

Variant bWeekdayName(Frame&, Args a)
{
    int32_t wd = lng(a, 0);
    bool abbrev = optBool(a, 1, false);
    int fd = firstDay(a, 2);
    if (fd == 0)
        fd = systemFirstDay();
    if (wd < 1 || wd > 7)
        raiseError(errInvalidCall);
    int classic = (wd - 1 + fd - 1) % 7 + 1;
    return Variant::fromString(platform::WeekdayName(classic, abbrev));
}

Variant bMonthName(Frame&, Args a)
{
    int32_t m = lng(a, 0);
    bool abbrev = optBool(a, 1, false);
    if (m < 1 || m > 12)
        raiseError(errInvalidCall);
    return Variant::fromString(platform::MonthName(m, abbrev));
}

// The interval names of DateAdd, DateDiff and DatePart.
enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalOf(Args a, size_t i)
{
    QString s = str(a, i).toLower();
    if (s == QLatin1String("yyyy")) return Interval::Year;
    if (s == QLatin1String("q")) return Interval::Quarter;
    if (s == QLatin1String("m")) return Interval::Month;
    if (s == QLatin1String("y")) return Interval::DayOfYear;
    if (s == QLatin1String("d")) return Interval::Day;
    if (s == QLatin1String("w")) return Interval::Weekday;
    if (s == QLatin1String("ww")) return Interval::Week;
    if (s == QLatin1String("h")) return Interval::Hour;
    if (s == QLatin1String("n")) return Interval::Minute;
    if (s == QLatin1String("s")) return Interval::Second;
    raiseError(errInvalidCall);
}

Variant bDateAdd(Frame&, Args a)
{
    Interval iv = intervalOf(a, 0);
    Variant nv = arg(a, 1);
    Variant dv = arg(a, 2);
    if (dv.isNull())
        return dv;
    double n = std::trunc(toDouble(nv));
    double oa = toDate(dv);
    if (std::fabs(n) > 1e9)
        raiseError(errInvalidCall);
    Parts p = split(oa);
    auto addMonths = [&](qint64 months) {
        // QDate::addMonths keeps the day where it exists and takes the month's last day
        // otherwise: 31 January plus a month is 28 or 29 February.
        QDate d = p.date.addMonths(int(months));
        if (!d.isValid())
            raiseError(errInvalidCall);
        return dateResult(join(d, p.secs));
    };
    switch (iv) {
    case Interval::Year: return addMonths(qint64(n) * 12);
    case Interval::Quarter: return addMonths(qint64(n) * 3);
    case Interval::Month: return addMonths(qint64(n));
    case Interval::DayOfYear: case Interval::Day: case Interval::Weekday:
        return dateResult(fromLinear(toLinear(oa) + n));
    case Interval::Week: return dateResult(fromLinear(toLinear(oa) + n * 7));
    case Interval::Hour: return dateResult(fromLinear(toLinear(oa) + n / 24.0));
    case Interval::Minute: return dateResult(fromLinear(toLinear(oa) + n / 1440.0));
    case Interval::Second: return dateResult(fromLinear(toLinear(oa) + n / double(kSecsPerDay)));
    }
    return Variant();
}

// Whole seconds on the straight line, for the hour, minute and second differences.
qint64 linearSeconds(double oa)
{
    Parts p = split(oa);
    return platform::OADateEpoch().daysTo(p.date) * kSecsPerDay + p.secs;
}

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

Variant bDateDiff(Frame&, Args a)
{
    Interval iv = intervalOf(a, 0);
    Variant v1 = arg(a, 1), v2 = arg(a, 2);
    int fd = firstDay(a, 3);
    firstWeek(a, 4);
    if (v1.isNull() || v2.isNull())
        return Variant::null();
    double d1 = toDate(v1), d2 = toDate(v2);
    Parts p1 = split(d1), p2 = split(d2);
    qint64 r = 0;
    switch (iv) {
    case Interval::Year: r = p2.date.year() - p1.date.year(); break;
    case Interval::Quarter:
        r = (p2.date.year() * 4 + (p2.date.month() - 1) / 3) - (p1.date.year() * 4 + (p1.date.month() - 1) / 3);
        break;
    case Interval::Month: r = (p2.date.year() * 12 + p2.date.month()) - (p1.date.year() * 12 + p1.date.month()); break;
    case Interval::DayOfYear: case Interval::Day: r = p1.date.daysTo(p2.date); break;
    case Interval::Weekday: r = p1.date.daysTo(p2.date) / 7; break;
    case Interval::Week: {
        // Calendar weeks: how many first days of the week lie between the two dates.
        QDate w1 = p1.date.addDays(1 - platform::Weekday(p1.date, fd));
        QDate w2 = p2.date.addDays(1 - platform::Weekday(p2.date, fd));
        r = w1.daysTo(w2) / 7;
        break;
    }
    case Interval::Hour: r = floorDiv(linearSeconds(d2), 3600) - floorDiv(linearSeconds(d1), 3600); break;
    case Interval::Minute: r = floorDiv(linearSeconds(d2), 60) - floorDiv(linearSeconds(d1), 60); break;
    case Interval::Second: r = linearSeconds(d2) - linearSeconds(d1); break;
    }
    return r >= INT32_MIN && r <= INT32_MAX ? Variant::fromLong(int32_t(r)) : Variant::fromDouble(double(r));
}

Variant bDatePart(Frame&, Args a)
{
    Interval iv = intervalOf(a, 0);
    Variant v = arg(a, 1);
    int fd = firstDay(a, 2);
    int fw = firstWeek(a, 3);
    if (v.isNull())
        return v;
    Parts p = split(toDate(v));
    int r = 0;
    switch (iv) {
    case Interval::Year: r = p.date.year(); break;
    case Interval::Quarter: r = (p.date.month() - 1) / 3 + 1; break;
    case Interval::Month: r = p.date.month(); break;
    case Interval::DayOfYear: r = p.date.dayOfYear(); break;
    case Interval::Day: r = p.date.day(); break;
    case Interval::Weekday: r = platform::Weekday(p.date, fd); break;
    case Interval::Week: r = platform::WeekOfYear(p.date, fd, fw); break;
    case Interval::Hour: r = p.secs / 3600; break;
    case Interval::Minute: r = p.secs / 60 % 60; break;
    case Interval::Second: r = p.secs % 60; break;
    }
    return Variant::fromInteger(int16_t(r));
}

Variant bDateSerial(Frame&, Args a)
{
    Variant yv = arg(a, 0), mv = arg(a, 1), dv = arg(a, 2);
    if (yv.isNull() || mv.isNull() || dv.isNull())
        raiseError(errInvalidNull);
    int y = toInteger(yv), m = toInteger(mv), d = toInteger(dv);
    // Two-digit years follow the usual window: 0-29 are 2000-2029, 30-99 are 1930-1999.
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    if (y < 100 || y > 9999)
        raiseError(errInvalidCall);
    QDate base(y, 1, 1);
    QDate r = base.addMonths(m - 1).addDays(d - 1);
    if (!r.isValid() || r.year() < 100 || r.year() > 9999)
        raiseError(errInvalidCall);
    return dateResult(join(r, 0));
}

Variant bTimeSerial(Frame&, Args a)
{
    Variant hv = arg(a, 0), mv = arg(a, 1), sv = arg(a, 2);
    if (hv.isNull() || mv.isNull() || sv.isNull())
        raiseError(errInvalidNull);
    double secs = double(toInteger(hv)) * 3600 + double(toInteger(mv)) * 60 + double(toInteger(sv));
    // Past midnight forwards the days count on; backwards the time wraps within the day,
    // so TimeSerial(0, 0, -1) is 11:59:59 PM.
    if (secs < 0)
        secs = std::fmod(std::fmod(secs, kSecsPerDay) + kSecsPerDay, kSecsPerDay);
    return dateResult(secs / kSecsPerDay);
}

Variant bDateValue(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        raiseError(errInvalidNull);
    double oa;
    if (v.isString()) {
        if (!parseDate(v.str(), oa))
            raiseError(errTypeMismatch);
    } else {
        oa = toDate(v);
    }
    return dateResult(join(split(oa).date, 0));
}

Variant bTimeValue(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    double oa;
    if (v.isString()) {
        if (!parseDate(v.str(), oa))
            raiseError(errTypeMismatch);
    } else {
        oa = toDate(v);
    }
    return Variant::fromDate(split(oa).secs / double(kSecsPerDay));
}

Variant bIsDate(Frame&, Args a)
{
    if (a[0]->isObject())
        return Variant::fromBool(false);
    const Variant& v = *a[0];
    if (v.type() == vtDate)
        return Variant::fromBool(true);
    if (v.isString()) {
        double oa;
        return Variant::fromBool(parseDate(v.str(), oa) && platform::IsValidOADate(oa));
    }
    return Variant::fromBool(false);
}

Variant bFormatDateTime(Frame&, Args a)
{
    Variant v = arg(a, 0);
    int32_t fmt = optLong(a, 1, 0);
    if (fmt < 0 || fmt > 4)
        raiseError(errInvalidCall);
    if (v.isNull())
        raiseError(errTypeMismatch);
    double oa = toDate(v);
    Parts p = split(oa);
    QTime t = QTime::fromMSecsSinceStartOfDay(p.secs * 1000);
    // The script's locale, as CStr of a date uses it; the short time is 24-hour everywhere.
    const LocaleForm& form = activeLocaleForm();
    switch (fmt) {
    case 1: return Variant::fromString(activeQLocale().toString(p.date, QLocale::LongFormat));
    case 2: return Variant::fromString(p.date.toString(QLatin1String(form.datePattern)));
    case 3: return Variant::fromString(t.toString(QLatin1String(form.timePattern)));
    case 4: return Variant::fromString(t.toString(QStringLiteral("HH:mm")));
    default: return Variant::fromString(formatDate(oa));
    }
}

} // namespace

void addDateBuiltins(BuiltinTable& t)
{
    t.insert(QStringLiteral("now"), {bNow, 0, 0});
    t.insert(QStringLiteral("date"), {bDate, 0, 0});
    t.insert(QStringLiteral("time"), {bTime, 0, 0});
    t.insert(QStringLiteral("timer"), {bTimer, 0, 0});
    t.insert(QStringLiteral("year"), {bPart<0>, 1, 1});
    t.insert(QStringLiteral("month"), {bPart<1>, 1, 1});
    t.insert(QStringLiteral("day"), {bPart<2>, 1, 1});
    t.insert(QStringLiteral("hour"), {bPart<3>, 1, 1});
    t.insert(QStringLiteral("minute"), {bPart<4>, 1, 1});
    t.insert(QStringLiteral("second"), {bPart<5>, 1, 1});
    t.insert(QStringLiteral("weekday"), {bWeekday, 1, 2});
    t.insert(QStringLiteral("weekdayname"), {bWeekdayName, 1, 3});
    t.insert(QStringLiteral("monthname"), {bMonthName, 1, 2});
    t.insert(QStringLiteral("dateadd"), {bDateAdd, 3, 3});
    t.insert(QStringLiteral("datediff"), {bDateDiff, 3, 5});
    t.insert(QStringLiteral("datepart"), {bDatePart, 2, 4});
    t.insert(QStringLiteral("dateserial"), {bDateSerial, 3, 3});
    t.insert(QStringLiteral("timeserial"), {bTimeSerial, 3, 3});
    t.insert(QStringLiteral("datevalue"), {bDateValue, 1, 1});
    t.insert(QStringLiteral("timevalue"), {bTimeValue, 1, 1});
    t.insert(QStringLiteral("isdate"), {bIsDate, 1, 1});
    t.insert(QStringLiteral("formatdatetime"), {bFormatDateTime, 1, 2});
}

} // namespace script::lib
