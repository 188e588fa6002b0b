WScript.Echo CInt(2.5), CInt(3.5), CInt(-2.5), CLng("12"), CDbl("1.5e2"), CBool("true"), CBool(0)
WScript.Echo CStr(1.5), CStr(True), CCur(1.23456), CSng(1/3)
WScript.Echo CDate("2003-01-02"), CDate("1/2/2003 13:05:00")
WScript.Echo CInt(40000)
' expect: 2 4 -2 12 150 True False
' expect: 1.5 True 1.2346 0.3333333
' expect: 1/2/2003 1/2/2003 1:05:00 PM
' expect error 6 line 4
