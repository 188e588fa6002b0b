' A failing With or For Each header resumes at the first statement of its body.
On Error Resume Next
Dim x, n
With Empty
  WScript.Echo "with", Err.Number
  Err.Clear
  .Foo
  WScript.Echo "member", Err.Number
End With
Err.Clear
n = 0
For Each x In Empty
  n = n + 1
Next
WScript.Echo "for each", Err.Number, n
' expect: with 424
' expect: member 424
' expect: for each 451 1
