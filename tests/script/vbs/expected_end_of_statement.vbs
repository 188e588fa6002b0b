x = 1 2
' expect error 1025 line 1
