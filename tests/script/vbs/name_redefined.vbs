Dim a
Dim a
' expect error 1041 line 2
