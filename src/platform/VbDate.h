// Date values as the script language and the format language see them: days since
// 1899-12-30 with the time of day as the fraction, plus the locale's general date-time form,
// weekday and week-of-year rules and day and month names.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace platform {

// First day of the week (vbUseSystemDayOfWeek = 0, vbSunday = 1 ... vbSaturday = 7).
enum VbDayOfWeek { vbUseSystemDayOfWeek = 0, vbSunday = 1, vbMonday, vbTuesday, vbWednesday,
                   vbThursday, vbFriday, vbSaturday };
// Which week is week 1 (vbUseSystem = 0, vbFirstJan1 = 1, vbFirstFourDays = 2, vbFirstFullWeek = 3).
enum VbFirstWeekOfYear { vbUseSystem = 0, vbFirstJan1 = 1, vbFirstFourDays = 2, vbFirstFullWeek = 3 };

// The day that date value 0 stands for.
QDate OADateEpoch();

// The local date-time as a date value. Before the epoch the integer part counts days back
// and the fraction is still the time forward from midnight: -1.25 is 1899-12-29 06:00.
// An invalid date-time gives 0.
double ToOADate(const QDateTime& dt);
// The date value as a local date-time, rounded to the nearest millisecond (so 0.5 computed as
// 0.49999999999 is noon). Values outside years 100 to 9999, NaN and infinities give an
// invalid QDateTime.
QDateTime FromOADate(double oa);
// True when FromOADate gives a valid date-time for this value.
bool IsValidOADate(double oa);

// The locale's short date format (Qt pattern) with a two-digit year widened to four, as
// desktop short dates show it.
QString ShortDateFormat();
// The locale's long date format (Qt pattern).
QString LongDateFormat();
// The locale's long time format (Qt pattern) without its time-zone name: a logbook line or a
// date text must not change with the zone's abbreviation, and the classic long time never had one.
QString LongTimeFormat();
// The locale's date and time separators, as "/" and ":" stand for them in format strings.
QString DateSeparator();
QString TimeSeparator();

// The general date-time form of the logbook: short date, a blank, long time; at midnight
// (to the second) only the date. Milliseconds are not shown (they are cut, not rounded).
QString GeneralDateTime(const QDateTime& dt);
// The "General Date" form of a date value: only the time when the day is the epoch
// (integer part 0), only the date when the time is midnight, else both as GeneralDateTime.
QString GeneralDate(double oa);
// Short date, long time and long date of a date-time in the locale's forms.
QString ShortDateText(const QDate& d);
QString LongDateText(const QDate& d);
QString LongTimeText(const QTime& t);

// Weekday 1..7 counted from firstDayOfWeek (default Sunday, so Sunday = 1, Saturday = 7).
int Weekday(const QDate& d, int firstDayOfWeek = vbSunday);
// Week of the year; by default week 1 is the week holding 1 January, weeks starting on Sunday.
// Days before the first week of their year belong to the last week of the year before.
int WeekOfYear(const QDate& d, int firstDayOfWeek = vbSunday, int firstWeekOfYear = vbFirstJan1);
// Name of a weekday given in the classic numbering (1 = Sunday ... 7 = Saturday), or "" out of range.
QString WeekdayName(int vbDay, bool abbreviated);
// Name of month 1..12, or "" out of range.
QString MonthName(int month, bool abbreviated);

} // namespace platform
