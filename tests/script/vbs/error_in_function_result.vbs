Function Bad()
  Bad = CLng("nope")
End Function
On Error Resume Next
y = "unchanged"
y = Bad()
WScript.Echo y, Err.Number
' expect: unchanged 13
