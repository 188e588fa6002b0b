Function Add(a, b)
  Add = a + b
End Function
Sub Main
  Dim i, t
  t = 0
  For i = 1 To 12000000
    t = Add(t, i)
  Next
  WScript.Echo t
End Sub
Main
