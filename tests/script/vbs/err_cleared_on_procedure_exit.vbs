' A procedure that used On Error Resume Next clears Err when it returns, by its end or by Exit;
' one without a handler leaves Err as it was.
Sub EndsNormally
  On Error Resume Next
  x = 1 / 0
End Sub
Sub ExitsEarly
  On Error Resume Next
  Err.Raise 5
  Exit Sub
  WScript.Echo "not reached"
End Sub
Function Value
  On Error Resume Next
  Value = CInt("x")
  If Err.Number <> 0 Then Value = -1: Exit Function
End Function
Class Thing
  Property Get Size
    On Error Resume Next
    Size = 1 / 0
    Exit Property
  End Property
End Class
Sub NoHandler
  WScript.Echo "inner sees", Err.Number
End Sub
Sub HandlerOff
  On Error Resume Next
  On Error GoTo 0
End Sub
On Error Resume Next
EndsNormally
WScript.Echo "end", Err.Number
ExitsEarly
WScript.Echo "exit sub", Err.Number
WScript.Echo "exit function", Value, Err.Number
Set t = New Thing
s = t.Size
WScript.Echo "exit property", Err.Number
Err.Raise 6
NoHandler
WScript.Echo "no handler", Err.Number
HandlerOff
WScript.Echo "handler off", Err.Number
' expect: end 0
' expect: exit sub 0
' expect: exit function -1 0
' expect: exit property 0
' expect: inner sees 6
' expect: no handler 6
' expect: handler off 0
