Sub Main
  Dim a(), i, j, n, t
  n = 200000
  ReDim a(n - 1)
  For i = 0 To n - 1
    a(i) = (i * 7919) Mod 1000
  Next
  t = 0
  For j = 1 To 120
    For i = 0 To n - 1
      t = t + a(i)
    Next
  Next
  WScript.Echo t
End Sub
Main
