For i = 1 5
Next
' expect error 1013 line 1
