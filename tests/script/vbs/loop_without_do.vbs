x = 1
Loop
' expect error 1038 line 2
