' An error in a procedure without a handler goes back to the caller's handler;
' a procedure's own Resume Next ends when it returns.
Sub Fails
  WScript.Echo "in Fails"
  x = 1 / 0
  WScript.Echo "not reached"
End Sub
Sub Guarded
  On Error Resume Next
  Fails
  WScript.Echo "Guarded continues", Err.Number
End Sub
Sub OwnHandler
  On Error Resume Next
  y = 1 / 0
  WScript.Echo "own", Err.Number
End Sub
Guarded
OwnHandler
z = CInt("x")
' expect: in Fails
' expect: Guarded continues 11
' expect: own 11
' expect error 13 line 20
