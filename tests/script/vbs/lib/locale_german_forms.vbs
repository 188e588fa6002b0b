' After SetLocale 1031 numbers and dates are read and written the German way; 0 restores.
Dim old
old = SetLocale(1031)
WScript.Echo old, GetLocale(), CStr(1.5), CDbl("2,5") * 2, FormatNumber(1234.5, 1)
WScript.Echo CStr(DateSerial(2026, 12, 31) + TimeSerial(13, 45, 0)), CStr(TimeSerial(8, 5, 0))
WScript.Echo Month(CDate("1.2.2026")), Day(DateValue("03.04.2026")), IsNumeric("1,25")
WScript.Echo #12/31/2026#
SetLocale "en-gb"
WScript.Echo CStr(1.5), CStr(DateSerial(2026, 2, 1)), Month("1/2/2026")
SetLocale 0
WScript.Echo GetLocale(), CStr(1.5), CStr(DateSerial(2026, 12, 31) + TimeSerial(13, 45, 0))
' expect: 1033 1031 1,5 5 1.234,5
' expect: 31.12.2026 13:45:00 08:05:00
' expect: 2 3 True
' expect: 31.12.2026
' expect: 1.5 01/02/2026 2
' expect: 1033 1.5 12/31/2026 1:45:00 PM
