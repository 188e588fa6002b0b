If x = 1
  y = 2
End If
' expect error 1017 line 1
