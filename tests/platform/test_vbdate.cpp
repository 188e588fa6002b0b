// Date values, the locale's general date-time form, weekday and week-of-year rules.
#include "platform/VbDate.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

// Pins the default locale for one test and puts the previous one back.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& l) : saved_(QLocale()) { QLocale::setDefault(l); }
    ~LocaleGuard() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

const QLocale EnUS(QLocale::English, QLocale::UnitedStates);
const QLocale EnGB(QLocale::English, QLocale::UnitedKingdom);
const QLocale DeDE(QLocale::German, QLocale::Germany);

} // namespace

TEST(OADate, ConvertsBothWaysAroundTheEpoch)
{
    EXPECT_DOUBLE_EQ(ToOADate(local(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(ToOADate(local(2026, 1, 5, 9, 30)), 46027.0 + 9.5 / 24);
    EXPECT_DOUBLE_EQ(ToOADate(local(2000, 1, 1, 12)), 36526.5);
    EXPECT_DOUBLE_EQ(ToOADate(local(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(ToOADate(local(1899, 12, 28, 18)), -2.75);
    EXPECT_DOUBLE_EQ(ToOADate(local(1899, 12, 30, 18)), 0.75);
    EXPECT_DOUBLE_EQ(ToOADate(QDateTime()), 0.0);

    EXPECT_EQ(FromOADate(46027.0 + 9.5 / 24), local(2026, 1, 5, 9, 30));
    EXPECT_EQ(FromOADate(-1.25), local(1899, 12, 29, 6));
    EXPECT_EQ(FromOADate(-2.75), local(1899, 12, 28, 18));
    EXPECT_EQ(FromOADate(-0.5), local(1899, 12, 30, 12)); // same as 0.5: the fraction runs forward
    EXPECT_EQ(FromOADate(-657434.0), local(100, 1, 1));
    EXPECT_EQ(FromOADate(2958465.0), local(9999, 12, 31));

    for (const QDateTime& dt : {local(2026, 1, 5, 9, 30, 1, 250), local(1850, 7, 4, 23, 59, 59, 999),
                                local(1899, 12, 29, 0, 0, 0, 1), local(9999, 12, 31, 23, 59, 59)})
        EXPECT_EQ(FromOADate(ToOADate(dt)), dt) << dt.toString(Qt::ISODateWithMs).toStdString();
}

TEST(OADate, RoundsToMillisecondsAndRefusesImpossibleValues)
{
    // Seconds added as seconds / 86400 land exactly on the second despite binary fractions.
    double v = ToOADate(local(2026, 1, 5, 9, 30));
    for (int i = 0; i < 45; ++i)
        v += 1.0 / 86400;
    EXPECT_EQ(FromOADate(v), local(2026, 1, 5, 9, 30, 45));
    EXPECT_EQ(FromOADate(46027.0 - 1e-10), local(2026, 1, 5));        // just before midnight rounds up
    EXPECT_EQ(FromOADate(-1.0 - 0.9999999999), local(1899, 12, 30)); // a day's worth of time carries

    EXPECT_FALSE(FromOADate(std::nan("")).isValid());
    EXPECT_FALSE(FromOADate(1e300).isValid());
    EXPECT_FALSE(FromOADate(2958466.0).isValid());
    EXPECT_FALSE(FromOADate(-657435.0).isValid());
    EXPECT_FALSE(FromOADate(2958465.999999999).isValid()); // rounds into the year 10000
}

TEST(GeneralDateTime, ShortDateBlankLongTimeAndDateAloneAtMidnight)
{
    LocaleGuard g(EnUS);
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 9, 30, 7)), "1/5/2026 9:30:07 AM");
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 21, 5, 0, 999)), "1/5/2026 9:05:00 PM");
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5)), "1/5/2026");
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 0, 0, 0, 400)), "1/5/2026");
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 0, 0, 1)), "1/5/2026 12:00:01 AM");
    EXPECT_EQ(GeneralDateTime(QDateTime()), "");
    // The time-zone name of Qt's long time form never shows.
    EXPECT_EQ(LongTimeFormat(), "h:mm:ss AP");

    LocaleGuard gb(EnGB);
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 9, 30, 7)), "05/01/2026 09:30:07");
    LocaleGuard de(DeDE);
    EXPECT_EQ(GeneralDateTime(local(2026, 1, 5, 19, 30, 7)), "05.01.2026 19:30:07"); // year widened
    EXPECT_EQ(DateSeparator(), ".");
    EXPECT_EQ(TimeSeparator(), ":");
}

TEST(GeneralDate, ShowsOnlyThePartsTheValueHas)
{
    LocaleGuard g(EnGB);
    EXPECT_EQ(GeneralDate(46027.0), "05/01/2026");
    EXPECT_EQ(GeneralDate(0.75), "18:00:00");
    EXPECT_EQ(GeneralDate(0.0), "00:00:00");
    EXPECT_EQ(GeneralDate(46027.5), "05/01/2026 12:00:00");
    EXPECT_EQ(GeneralDate(-1.25), "29/12/1899 06:00:00");
    EXPECT_EQ(GeneralDate(1e12), "1000000000000");
}

TEST(Weekday, CountsFromTheChosenFirstDay)
{
    const QDate sun(2026, 1, 4), mon(2026, 1, 5), sat(2026, 1, 10);
    EXPECT_EQ(Weekday(sun), 1);
    EXPECT_EQ(Weekday(mon), 2);
    EXPECT_EQ(Weekday(sat), 7);
    EXPECT_EQ(Weekday(mon, vbMonday), 1);
    EXPECT_EQ(Weekday(sun, vbMonday), 7);
    EXPECT_EQ(Weekday(sat, vbSaturday), 1);
    LocaleGuard g(DeDE); // the system's week starts on Monday there
    EXPECT_EQ(Weekday(mon, vbUseSystemDayOfWeek), 1);
}

TEST(WeekOfYear, WeekOneHoldsFirstJanuaryByDefault)
{
    // 1 January 2026 is a Thursday.
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 1)), 1);
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 3)), 1);
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 4)), 2); // Sunday starts week 2
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 5)), 2);
    EXPECT_EQ(WeekOfYear(QDate(2025, 12, 31)), 53);
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 5), vbMonday, vbFirstFourDays), 2);
    EXPECT_EQ(WeekOfYear(QDate(2027, 1, 1), vbMonday, vbFirstFourDays), 53);
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 5), vbSunday, vbFirstFullWeek), 1);
    EXPECT_EQ(WeekOfYear(QDate(2026, 1, 3), vbSunday, vbFirstFullWeek), 52);
    // 30 and 31 December 2024 open the first four-day week of 2025.
    EXPECT_EQ(WeekOfYear(QDate(2024, 12, 31), vbMonday, vbFirstFourDays), 1);
    EXPECT_EQ(WeekOfYear(QDate(2024, 12, 29), vbMonday, vbFirstFourDays), 52);
}

TEST(Names, ComeFromTheLocale)
{
    LocaleGuard g(EnUS);
    EXPECT_EQ(WeekdayName(1, true), "Sun");
    EXPECT_EQ(WeekdayName(2, false), "Monday");
    EXPECT_EQ(WeekdayName(7, true), "Sat");
    EXPECT_EQ(WeekdayName(0, true), "");
    EXPECT_EQ(MonthName(1, true), "Jan");
    EXPECT_EQ(MonthName(12, false), "December");
    EXPECT_EQ(MonthName(13, false), "");
    LocaleGuard de(DeDE);
    EXPECT_EQ(WeekdayName(2, false), "Montag");
    EXPECT_EQ(MonthName(3, false), "März");
}
