Next
' expect error 1055 line 1
