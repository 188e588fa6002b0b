' Date functions on fixed dates: parts, serials with overflowing arguments, DateAdd across
' month ends, DateDiff with weeks and first day of the week, DatePart and names.
d = DateSerial(2024, 1, 31) + TimeSerial(13, 45, 30)
WScript.Echo Year(d), Month(d), Day(d), Hour(d), Minute(d), Second(d), Weekday(d), Weekday(d, vbMonday)
WScript.Echo DateSerial(2024, 13, 1), DateSerial(2024, 3, 0), DateSerial(24, 1, 1), DateSerial(99, 12, 31), DateSerial(2024, 1, -1)
WScript.Echo TimeSerial(25, 0, 0), TimeSerial(0, 90, 0), TimeSerial(0, 0, -1), TypeName(TimeSerial(1, 2, 3))
WScript.Echo DateAdd("m", 1, #1/31/2024#), DateAdd("m", 1, #1/31/2023#), DateAdd("yyyy", 1, #2/29/2024#), DateAdd("q", -1, #5/31/2024#)
WScript.Echo DateAdd("d", 1, #12/31/2024#), DateAdd("h", 12, #1/1/2024 6:00:00 PM#), DateAdd("n", -30, #1/1/2024#), DateAdd("ww", 2, #1/1/2024#)
WScript.Echo DateAdd("s", 90, #1/1/2024#), DateAdd("w", 3, #1/1/2024#), DateAdd("y", 1, #1/1/2024#)
WScript.Echo DateDiff("d", #1/1/2024#, #3/1/2024#), DateDiff("m", #1/31/2024#, #2/1/2024#), DateDiff("yyyy", #12/31/2023#, #1/1/2024#)
WScript.Echo DateDiff("ww", #1/6/2024#, #1/7/2024#), DateDiff("ww", #1/6/2024#, #1/7/2024#, vbSaturday), DateDiff("ww", #1/1/2024#, #1/31/2024#, vbMonday)
WScript.Echo DateDiff("w", #1/1/2024#, #1/14/2024#), DateDiff("h", #1/1/2024 11:59:00 PM#, #1/2/2024#), DateDiff("n", #1/1/2024#, #1/1/2024 1:00:00 AM#)
WScript.Echo DateDiff("s", #1/2/2024#, #1/1/2024#), DateDiff("q", #1/1/2024#, #12/31/2024#), TypeName(DateDiff("d", Now, Now)), IsNull(DateDiff("d", Null, Now))
WScript.Echo DatePart("yyyy", d), DatePart("q", d), DatePart("y", d), DatePart("w", d), DatePart("ww", #1/7/2024#), DatePart("ww", #1/1/2021#, vbMonday, vbFirstFourDays)
WScript.Echo MonthName(2), MonthName(2, True), WeekdayName(1), WeekdayName(1, True), WeekdayName(1, False, vbMonday)
WScript.Echo DateValue("3/15/2024 10:30:00 AM"), TimeValue("3/15/2024 10:30:00 AM"), DateValue(d), IsNull(Year(Null))
WScript.Echo IsDate("2024-03-15"), IsDate("31/31/2024"), IsDate("hello"), IsDate(d), IsDate(5), IsDate("March 5, 2024")
WScript.Echo CDate("2024-03-15 14:05"), CDate("15 March 2024"), FormatDateTime(d, vbShortTime), FormatDateTime(#1/1/2024 9:05:00 AM#, 4)
WScript.Echo Date = Int(Now), Abs(CDbl(Time) - (CDbl(Now) - CDbl(Date))) < 0.0001, Abs(Timer - (Hour(Now) * 3600 + Minute(Now) * 60 + Second(Now))) < 2, TypeName(Timer)
On Error Resume Next
x = DateAdd("x", 1, d)
WScript.Echo Err.Number
Err.Clear
x = MonthName(13)
WScript.Echo Err.Number
Err.Clear
x = Weekday(d, 8)
WScript.Echo Err.Number
Err.Clear
x = DateValue("not a date")
WScript.Echo Err.Number
Err.Clear
x = DateAdd("yyyy", 9000, d)
WScript.Echo Err.Number
' expect: 2024 1 31 13 45 30 4 3
' expect: 1/1/2025 2/29/2024 1/1/2024 12/31/1999 12/30/2023
' expect: 12/31/1899 1:00:00 AM 1:30:00 AM 11:59:59 PM Date
' expect: 2/29/2024 2/28/2023 2/28/2025 2/29/2024
' expect: 1/1/2025 1/2/2024 6:00:00 AM 12/31/2023 11:30:00 PM 1/15/2024
' expect: 1/1/2024 12:01:30 AM 1/4/2024 1/2/2024
' expect: 60 1 1
' expect: 1 0 4
' expect: 1 1 60
' expect: -86400 3 Long True
' expect: 2024 1 31 4 2 53
' expect: February Feb Sunday Sun Monday
' expect: 3/15/2024 10:30:00 AM 1/31/2024 True
' expect: True False False True False True
' expect: 3/15/2024 2:05:00 PM 3/15/2024 13:45 09:05
' expect: True True True Single
' expect: 5
' expect: 5
' expect: 5
' expect: 13
' expect: 5
