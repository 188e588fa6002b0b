While True
  x = 1
' expect error 1018 line 3
