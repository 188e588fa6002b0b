Dim m()
ReDim m(1, 1)
m(1, 1) = "x"
ReDim Preserve m(1, 3)
WScript.Echo m(1, 1), UBound(m, 2)
ReDim Preserve m(2, 3)
' expect: x 3
' expect error 9 line 6
