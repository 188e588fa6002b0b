For i = 1 To 2
  x = i
' expect error 1020 line 3
