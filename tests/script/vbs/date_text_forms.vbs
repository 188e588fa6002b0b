' Date texts: day 0 shows as a bare time (midnight too), a month with only a year is its first
' day, and a weekday's name in a long date is passed over.
SetLocale 1033
WScript.Echo CDate(0), TimeSerial(0, 0, 0), CStr(CDate("12:00:00 AM")), CDate(1.25)
WScript.Echo CDate("Jan 2000"), CDate("March 1999"), CDate("Monday, January 03, 2000"), IsDate("Mo 1/3/2000")
WScript.Echo Year(CDate("2 Jan")) = Year(Date), Month(CDate("Feb 3")), Day(CDate("Feb 3"))
' expect: 12:00:00 AM 12:00:00 AM 12:00:00 AM 12/31/1899 6:00:00 AM
' expect: 1/1/2000 3/1/1999 1/3/2000 False
' expect: True 2 3
