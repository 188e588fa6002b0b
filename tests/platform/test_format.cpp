// The classic Format function: the robot's own patterns exactly, then dates, numbers, text,
// named formats and the general form, all under a pinned locale.
#include "platform/Format.h"
#include "platform/VbDate.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(saved_); }

    static QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
    }

private:
    QLocale saved_ = QLocale();
};

const QString Str(const char* s) { return QString::fromUtf8(s); }

} // namespace

TEST_F(FormatTest, TheRobotsOwnPatternsAreExact)
{
    const QDateTime t = at(2026, 1, 5, 9, 30, 0, 700);
    EXPECT_EQ(Format(t, "ddd, dd mmm yyyy hh:nn:ss"), "Mon, 05 Jan 2026 09:30:00");
    EXPECT_EQ(Format(t, "dd-mmm-yyyy_hh-nn-ss"), "05-Jan-2026_09-30-00");
    EXPECT_EQ(Format(t, "yyyymmdd"), "20260105");
    EXPECT_EQ(Format(at(2026, 1, 4, 7, 5), "ddd hh:nn"), "Sun 07:05");
    EXPECT_EQ(Format(42.0, "000000"), "000042");
    EXPECT_EQ(Format(1234567.0, "000000"), "1234567");
    EXPECT_EQ(Format(1234567.891, "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(Format(0.0, "#,##0.00"), "0.00");
    EXPECT_EQ(Format(-1234.5, "#,##0.00"), "-1,234.50");
    EXPECT_EQ(Format(QStringLiteral("report.txt"), "@"), "report.txt");
    EXPECT_EQ(Format(FormatValue::fromInt(7), "000000"), "000007");
}

TEST_F(FormatTest, DateTokens)
{
    const QDateTime t = at(2026, 7, 9, 14, 5, 3);
    EXPECT_EQ(Format(t, "d dd ddd dddd"), "9 09 Thu Thursday");
    EXPECT_EQ(Format(t, "m mm mmm mmmm"), "7 07 Jul July");
    EXPECT_EQ(Format(t, "y yy yyyy q"), "190 26 2026 3");
    EXPECT_EQ(Format(t, "w ww"), "5 28");
    EXPECT_EQ(Format(t, "h hh n nn s ss"), "14 14 5 05 3 03");
    EXPECT_EQ(Format(t, "hh:mm"), "14:05");     // m after h is the minute
    EXPECT_EQ(Format(t, "h \"h\" m"), "14 h 5"); // literals between do not break the rule
    EXPECT_EQ(Format(t, "mm/dd/yyyy"), "07/09/2026");
    EXPECT_EQ(Format(t, "DD-MMM-YYYY HH:NN"), "09-Jul-2026 14:05");
    EXPECT_EQ(Format(t, "ddddd"), "7/9/2026");
    EXPECT_EQ(Format(t, "dddddd"), "Thursday, July 9, 2026");
    EXPECT_EQ(Format(t, "ttttt"), "2:05:03 PM");
    EXPECT_EQ(Format(t, "c"), "7/9/2026 2:05:03 PM");
    EXPECT_EQ(Format(at(2026, 7, 9), "c"), "7/9/2026");
}

TEST_F(FormatTest, TwelveHourClockAndLiterals)
{
    EXPECT_EQ(Format(at(2026, 1, 5, 0, 7), "h:nn AM/PM"), "12:07 AM");
    EXPECT_EQ(Format(at(2026, 1, 5, 12, 7), "h:nn am/pm"), "12:07 pm");
    EXPECT_EQ(Format(at(2026, 1, 5, 23, 7), "hh:nn A/P"), "11:07 P");
    EXPECT_EQ(Format(at(2026, 1, 5, 9, 7), "h a/p"), "9 a");
    EXPECT_EQ(Format(at(2026, 1, 5, 21, 7), "h AMPM"), "9 PM");
    EXPECT_EQ(Format(at(2026, 1, 5, 9, 7), "\"day\" d \\at h\\h"), "day 5 at 9h");
    EXPECT_EQ(Format(at(2026, 1, 5, 9, 7), "yyyy;mm"), "2026"); // dates use the first section
}

TEST_F(FormatTest, SeparatorsFollowTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDateTime t = at(2026, 1, 5, 9, 30, 0);
    EXPECT_EQ(Format(t, "dd/mm/yyyy hh:nn"), "05.01.2026 09:30");
    EXPECT_EQ(Format(t, "ddd, dd mmm"), Str("Mo., 05 Jan."));
    EXPECT_EQ(Format(1234.5, "#,##0.00"), "1.234,50");
    EXPECT_EQ(Format(t, "General Date"), "05.01.2026 09:30:00");
}

TEST_F(FormatTest, NumbersOnDatePatternsAndDatesOnNumberPatterns)
{
    EXPECT_EQ(Format(46027.5, "yyyy-mm-dd hh:nn"), "2026-01-05 12:00");
    EXPECT_EQ(Format(at(2026, 1, 5, 12), "0.00"), "46027.50");
    EXPECT_EQ(Format(-1.25, "yyyy-mm-dd hh:nn"), "1899-12-29 06:00");
    EXPECT_EQ(Format(FormatValue::empty(), "yyyy"), "1899");
    EXPECT_EQ(Format(1e9, "yyyy"), "1000000000"); // beyond the date range: the number itself
}

TEST_F(FormatTest, DigitPlaceholdersAndRounding)
{
    EXPECT_EQ(Format(5.0, "0.00"), "5.00");
    EXPECT_EQ(Format(5.0, "#.##"), "5.");
    EXPECT_EQ(Format(0.5, "#.##"), ".5");
    EXPECT_EQ(Format(0.5, "0.##"), "0.5");
    EXPECT_EQ(Format(0.0, "#"), "");
    EXPECT_EQ(Format(1.5, "0.0#"), "1.5");
    EXPECT_EQ(Format(1.556, "0.0#"), "1.56");
    EXPECT_EQ(Format(2.5, "0"), "3");
    EXPECT_EQ(Format(-2.5, "0"), "-3");
    EXPECT_EQ(Format(2.675, "0.00"), "2.68");
    EXPECT_EQ(Format(1.005, "0.00"), "1.01");
    EXPECT_EQ(Format(0.125, "0.00"), "0.13");
    EXPECT_EQ(Format(9.995, "0.00"), "10.00");
    EXPECT_EQ(Format(0.0001, "0.00"), "0.00");
    EXPECT_EQ(Format(123456789.0, "000-00-0000"), "123-45-6789");
    EXPECT_EQ(Format(42.0, "$0 kg"), "$42 kg");
    EXPECT_EQ(Format(12.0, "(#)"), "(12)");
    EXPECT_EQ(Format(12.5, ".00"), "12.50");
    EXPECT_EQ(Format(FormatValue::fromInt(-9223372036854775807LL - 1), "#,##0"), "-9,223,372,036,854,775,808");
}

TEST_F(FormatTest, ThousandsPercentScalingAndExponents)
{
    EXPECT_EQ(Format(1234567.0, "#,##0"), "1,234,567");
    EXPECT_EQ(Format(123.0, "#,##0"), "123");
    EXPECT_EQ(Format(1234567.0, "#,##0,"), "1,235");
    EXPECT_EQ(Format(1234567.0, "0,,"), "1");
    EXPECT_EQ(Format(1234567.0, "#,##0,.0"), "1,234.6");
    EXPECT_EQ(Format(0.256, "0%"), "26%");
    EXPECT_EQ(Format(0.256, "0.0%"), "25.6%");
    EXPECT_EQ(Format(12345.0, "0.00E+00"), "1.23E+04");
    EXPECT_EQ(Format(0.00012345, "0.00E-00"), "1.23E-04");
    EXPECT_EQ(Format(12345.0, "0.00e-00"), "1.23e04");
    EXPECT_EQ(Format(99999.0, "0.00E+00"), "1.00E+05");
    EXPECT_EQ(Format(0.0, "0.00E+00"), "0.00E+00");
    EXPECT_EQ(Format(-12345.0, "0.0E+0"), "-1.2E+4");
}

TEST_F(FormatTest, SectionsForNegativeZeroAndNull)
{
    const QString f = "#,##0.00;(#,##0.00);\"Zero\";\"NA\"";
    EXPECT_EQ(Format(1234.5, f), "1,234.50");
    EXPECT_EQ(Format(-1234.5, f), "(1,234.50)");
    EXPECT_EQ(Format(0.0, f), "Zero");
    EXPECT_EQ(Format(FormatValue::null(), f), "NA");
    EXPECT_EQ(Format(FormatValue::null(), "0.00"), "");
    EXPECT_EQ(Format(-5.0, "$#,##0;;\\Z\\e\\r\\o"), "-$5"); // empty section: the positive one
    EXPECT_EQ(Format(0.0, "$#,##0;;\\Z\\e\\r\\o"), "Zero");
    EXPECT_EQ(Format(-5.0, "0;0"), "5");
    EXPECT_EQ(Format(-0.001, "0.00"), "-0.00");
}

TEST_F(FormatTest, TextPatterns)
{
    EXPECT_EQ(Format(QStringLiteral("abc"), "@@@@@"), "  abc");
    EXPECT_EQ(Format(QStringLiteral("abc"), "!@@@@@"), "abc  ");
    EXPECT_EQ(Format(QStringLiteral("abc"), "&&&&&"), "abc");
    EXPECT_EQ(Format(QStringLiteral("abcdef"), "@@@"), "abcdef");
    EXPECT_EQ(Format(QStringLiteral("abcdef"), "!@@@"), "abcdef");
    EXPECT_EQ(Format(QStringLiteral("5551234"), "@@@-@@@@"), "555-1234");
    EXPECT_EQ(Format(QStringLiteral("Hello"), ">"), "HELLO");
    EXPECT_EQ(Format(QStringLiteral("Hello"), "<@@@@@@"), " hello");
    EXPECT_EQ(Format(QStringLiteral(""), "@;\"(none)\""), "(none)");
    EXPECT_EQ(Format(123.0, "@@@@@"), "  123");
    EXPECT_EQ(Format(FormatValue::null(), "@@"), "");
    EXPECT_EQ(Format(FormatValue::null(), "@;\"-\""), "-");
    EXPECT_EQ(Format(QString::fromLatin1("caf\xe9"), "@"), QString::fromLatin1("caf\xe9"));
}

TEST_F(FormatTest, StringsAreConvertedWhenTheyCanBe)
{
    EXPECT_EQ(Format(QStringLiteral("123"), "0.00"), "123.00");
    EXPECT_EQ(Format(QStringLiteral(" 1,234.5 "), "#,##0.0"), "1,234.5");
    EXPECT_EQ(Format(QStringLiteral("abc"), "0.00"), "abc");
    EXPECT_EQ(Format(QStringLiteral("2026-01-05"), "dd mmm yyyy"), "05 Jan 2026");
    EXPECT_EQ(Format(QStringLiteral("1/5/2026"), "yyyymmdd"), "20260105");
    EXPECT_EQ(Format(QStringLiteral("not a date"), "yyyymmdd"), "not a date");
}

TEST_F(FormatTest, NamedFormats)
{
    const QDateTime t = at(2026, 1, 5, 14, 30, 15);
    EXPECT_EQ(Format(t, "General Date"), "1/5/2026 2:30:15 PM");
    EXPECT_EQ(Format(t, "Long Date"), "Monday, January 5, 2026");
    EXPECT_EQ(Format(t, "Medium Date"), "05-Jan-26");
    EXPECT_EQ(Format(t, "Short Date"), "1/5/2026");
    EXPECT_EQ(Format(t, "Long Time"), "2:30:15 PM");
    EXPECT_EQ(Format(t, "Medium Time"), "02:30 PM");
    EXPECT_EQ(Format(t, "Short Time"), "14:30");
    EXPECT_EQ(Format(t, "short date"), "1/5/2026");
    EXPECT_EQ(Format(0.75, "General Date"), "6:00:00 PM");

    EXPECT_EQ(Format(1234.5678, "General Number"), "1234.5678");
    EXPECT_EQ(Format(1234.5678, "Currency"), "$1,234.57");
    EXPECT_EQ(Format(-1234.5678, "Currency"), "($1,234.57)");
    EXPECT_EQ(Format(1234.5678, "Fixed"), "1234.57");
    EXPECT_EQ(Format(1234.5678, "Standard"), "1,234.57");
    EXPECT_EQ(Format(0.1234, "Percent"), "12.34%");
    EXPECT_EQ(Format(1234.5678, "Scientific"), "1.23E+03");
    EXPECT_EQ(Format(2.0, "Yes/No"), "Yes");
    EXPECT_EQ(Format(0.0, "Yes/No"), "No");
    EXPECT_EQ(Format(FormatValue::fromBool(true), "True/False"), "True");
    EXPECT_EQ(Format(FormatValue::fromBool(false), "On/Off"), "Off");
    EXPECT_EQ(Format(FormatValue::fromBool(true), "0"), "-1");
    EXPECT_EQ(Format(QStringLiteral("maybe"), "Yes/No"), "maybe");
}

TEST_F(FormatTest, EmptyPatternGivesTheGeneralForm)
{
    EXPECT_EQ(Format(1234.5, ""), "1234.5");
    EXPECT_EQ(Format(0.1 + 0.2, ""), "0.3");
    EXPECT_EQ(Format(-7.0, ""), "-7");
    EXPECT_EQ(Format(1e15, ""), "1E+15");
    EXPECT_EQ(Format(123456789012345.0, ""), "123456789012345");
    EXPECT_EQ(Format(0.0001, ""), "0.0001");
    EXPECT_EQ(Format(0.000015, ""), "1.5E-05");
    EXPECT_EQ(Format(1.0 / 3, ""), "0.333333333333333");
    EXPECT_EQ(Format(at(2026, 1, 5), ""), "1/5/2026");
    EXPECT_EQ(Format(FormatValue::fromBool(true), ""), "True");
    EXPECT_EQ(Format(FormatValue::empty(), ""), "");
    EXPECT_EQ(Format(FormatValue::null(), ""), "");
    EXPECT_EQ(Format(QStringLiteral("x"), ""), "x");
    EXPECT_EQ(Format(FormatValue::fromInt(12), ""), "12");
}

TEST_F(FormatTest, OddPatternsNeverCrash)
{
    for (const char* f : {"\"", "\\", ";;;;", "0.0.0", "E+", "#,", ",", "%%", "0E+", "@@@;", "h\"", "mmmmmm",
                          "ddddddddd", "yyy", "tt", "0;", "\"abc", "!!!", "AM/P"}) {
        (void)Format(1234.5, f);
        (void)Format(at(2026, 1, 5), f);
        (void)Format(QStringLiteral("text"), f);
        (void)Format(FormatValue::null(), f);
    }
    EXPECT_EQ(Format(std::nan(""), "0.00"), QString::number(std::nan("")));
}
