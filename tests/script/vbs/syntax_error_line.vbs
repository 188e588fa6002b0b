x = 1
y = (2 +
' expect error 1023 line 2
