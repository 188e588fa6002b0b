Sub Walk(n, acc)
  If n = 0 Then Exit Sub
  acc = acc & n
  Walk n - 1, acc
End Sub
s = ""
Walk 4, s
WScript.Echo s
' expect: 4321
