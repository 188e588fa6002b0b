Dim a(2)
ReDim a(5)
' expect error 10 line 2
