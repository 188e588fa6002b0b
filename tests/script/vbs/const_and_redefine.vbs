Const Pi = 3.14, Name = "n"
WScript.Echo Pi, Name
Pi = 3
' expect: 3.14 n
' expect error 501 line 3
