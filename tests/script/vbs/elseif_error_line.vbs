' An error in an ElseIf condition is reported on the ElseIf line.
x = 2
If x = 1 Then
  WScript.Echo "one"
ElseIf x / 0 = 1 Then
  WScript.Echo "two"
End If
' expect error 11 line 5
