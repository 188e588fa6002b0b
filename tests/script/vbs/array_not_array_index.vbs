x = 5
WScript.Echo x(1)
' expect error 13 line 2
