// Date values, the locale's date and time forms, weekday and week rules.
#include "platform/VbDate.h"

#include <QLocale>

#include <cmath>

namespace platform {

namespace {

constexpr qint64 MsPerDay = 86400000;
// The date value range: 1 January 100 to 31 December 9999.
constexpr double MinOADate = -657435.0; // exclusive: -657434.x is still 1 January 100
constexpr double MaxOADate = 2958466.0; // exclusive

// Rewrites the runs of a pattern letter outside quotes; fn gets the run's length and returns
// its replacement.
template <typename Fn>
QString mapRuns(const QString& pattern, QChar letter, Fn fn)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
        } else if (!quoted && c == letter) {
            qsizetype j = i;
            while (j < pattern.size() && pattern.at(j) == letter)
                ++j;
            out += fn(int(j - i));
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// The first separator that follows a field of the given letters in a Qt pattern.
QString separatorAfter(const QString& pattern, const QString& letters, const QString& fallback)
{
    qsizetype i = 0;
    while (i < pattern.size() && !letters.contains(pattern.at(i)))
        ++i;
    while (i < pattern.size() && pattern.at(i).isLetter())
        ++i;
    QString sep;
    while (i < pattern.size() && !pattern.at(i).isLetter() && !pattern.at(i).isSpace()
           && pattern.at(i) != QLatin1Char('\''))
        sep += pattern.at(i++);
    return sep.isEmpty() ? fallback : sep;
}

QTime wholeSeconds(const QTime& t) { return QTime(t.hour(), t.minute(), t.second()); }

// Qt numbers Monday 1 ... Sunday 7; the classic numbering is Sunday 1 ... Saturday 7.
int classicDay(int qtDay) { return qtDay % 7 + 1; }

int resolveFirstDay(int firstDayOfWeek)
{
    if (firstDayOfWeek >= vbSunday && firstDayOfWeek <= vbSaturday)
        return firstDayOfWeek;
    return classicDay(int(QLocale().firstDayOfWeek()));
}

// The first day of week 1 of a year.
QDate firstWeekStart(int year, int firstDay, int firstWeekOfYear)
{
    const QDate jan1(year, 1, 1);
    const int wd = Weekday(jan1, firstDay);
    const QDate start = jan1.addDays(1 - wd);
    switch (firstWeekOfYear) {
    case vbFirstFourDays:
        return (8 - wd) >= 4 ? start : start.addDays(7);
    case vbFirstFullWeek:
        return wd == 1 ? start : start.addDays(7);
    default:
        return start;
    }
}

} // namespace

QDate OADateEpoch() { return QDate(1899, 12, 30); }

double ToOADate(const QDateTime& dt)
{
    if (!dt.isValid())
        return 0;
    const QDateTime local = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
    const qint64 days = OADateEpoch().daysTo(local.date());
    const double fraction = double(local.time().msecsSinceStartOfDay()) / double(MsPerDay);
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

bool IsValidOADate(double oa) { return std::isfinite(oa) && oa > MinOADate && oa < MaxOADate; }

QDateTime FromOADate(double oa)
{
    if (!IsValidOADate(oa))
        return QDateTime();
    double whole = 0;
    const double fraction = std::fabs(std::modf(oa, &whole));
    qint64 days = qint64(whole);
    qint64 ms = std::llround(fraction * double(MsPerDay));
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        ++days;
    }
    const QDate date = OADateEpoch().addDays(days);
    if (date.year() > 9999)
        return QDateTime();
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::LocalTime);
}

QString ShortDateFormat()
{
    return mapRuns(QLocale().dateFormat(QLocale::ShortFormat), QLatin1Char('y'), [](int n) {
        return QString(n == 2 ? 4 : n, QLatin1Char('y'));
    });
}

QString LongDateFormat() { return QLocale().dateFormat(QLocale::LongFormat); }

QString LongTimeFormat()
{
    const QString noZone = mapRuns(QLocale().timeFormat(QLocale::LongFormat), QLatin1Char('t'),
                                   [](int) { return QString(); });
    return noZone.simplified();
}

QString DateSeparator() { return separatorAfter(ShortDateFormat(), QStringLiteral("dMy"), QStringLiteral("/")); }

QString TimeSeparator() { return separatorAfter(LongTimeFormat(), QStringLiteral("Hh"), QStringLiteral(":")); }

QString ShortDateText(const QDate& d) { return QLocale().toString(d, ShortDateFormat()); }

QString LongDateText(const QDate& d) { return QLocale().toString(d, LongDateFormat()); }

QString LongTimeText(const QTime& t) { return QLocale().toString(wholeSeconds(t), LongTimeFormat()); }

QString GeneralDateTime(const QDateTime& dt)
{
    if (!dt.isValid())
        return QString();
    const QDateTime local = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
    if (wholeSeconds(local.time()) == QTime(0, 0))
        return ShortDateText(local.date());
    return ShortDateText(local.date()) + QLatin1Char(' ') + LongTimeText(local.time());
}

QString GeneralDate(double oa)
{
    const QDateTime dt = FromOADate(oa);
    if (!dt.isValid())
        return QString::number(oa, 'g', 15);
    if (dt.date() == OADateEpoch())
        return LongTimeText(dt.time());
    return GeneralDateTime(dt);
}

int Weekday(const QDate& d, int firstDayOfWeek)
{
    const int day = classicDay(d.dayOfWeek());
    return (day - resolveFirstDay(firstDayOfWeek) + 7) % 7 + 1;
}

int WeekOfYear(const QDate& d, int firstDayOfWeek, int firstWeekOfYear)
{
    // The system's choice of first week is taken as week of 1 January, the usual desktop default.
    if (firstWeekOfYear < vbFirstJan1 || firstWeekOfYear > vbFirstFullWeek)
        firstWeekOfYear = vbFirstJan1;
    const int firstDay = resolveFirstDay(firstDayOfWeek);
    // With the four-days rule the last days of December can open week 1 of the next year;
    // they are that week, not a week 53. (Under the 1 January rule 31 December stays in the
    // last week of its own year, as the classic functions count it.)
    if (firstWeekOfYear == vbFirstFourDays && d >= firstWeekStart(d.year() + 1, firstDay, firstWeekOfYear))
        return 1;
    QDate start = firstWeekStart(d.year(), firstDay, firstWeekOfYear);
    if (d < start)
        start = firstWeekStart(d.year() - 1, firstDay, firstWeekOfYear);
    return int(start.daysTo(d) / 7) + 1;
}

QString WeekdayName(int vbDay, bool abbreviated)
{
    if (vbDay < 1 || vbDay > 7)
        return QString();
    const int qtDay = vbDay == 1 ? 7 : vbDay - 1;
    return QLocale().dayName(qtDay, abbreviated ? QLocale::ShortFormat : QLocale::LongFormat);
}

QString MonthName(int month, bool abbreviated)
{
    if (month < 1 || month > 12)
        return QString();
    return QLocale().monthName(month, abbreviated ? QLocale::ShortFormat : QLocale::LongFormat);
}

} // namespace platform
