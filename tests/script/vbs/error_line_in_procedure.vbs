Sub Inner
  Dim a
  a = Array(1)
  a(5) = 1
End Sub
Sub Outer
  Inner
End Sub
Outer
' expect error 9 line 4
