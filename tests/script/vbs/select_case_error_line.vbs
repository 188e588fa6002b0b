' An error in a Case expression is reported on that Case's line.
x = 2
Select Case x
Case 1
  WScript.Echo "one"
Case CInt("two")
  WScript.Echo "two"
End Select
' expect error 13 line 6
