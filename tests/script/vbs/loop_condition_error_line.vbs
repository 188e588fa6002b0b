' An error in a Loop While condition is reported on the Loop line.
Dim n
Do
  n = n + 1
  WScript.Echo n
Loop While n < 2 Or CInt("x")
' expect: 1
' expect error 13 line 6
