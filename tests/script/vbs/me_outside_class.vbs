x = Me
' expect error 1037 line 1
