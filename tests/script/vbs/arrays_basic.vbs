Dim a(3), b()
a(0) = "x" : a(3) = 7
WScript.Echo UBound(a), LBound(a), a(0), a(3), IsEmpty(a(1))
ReDim b(1)
b(1) = "keep"
ReDim Preserve b(4)
WScript.Echo UBound(b), b(1)
ReDim b(2)
WScript.Echo IsEmpty(b(1))
Dim m(2, 3)
m(2, 3) = "corner"
WScript.Echo UBound(m, 1), UBound(m, 2), m(2, 3)
Dim c
c = Array(1, "two", 3.5)
WScript.Echo UBound(c), c(1), TypeName(c), VarType(c), IsArray(c)
WScript.Echo a(4)
' expect: 3 0 x 7 True
' expect: 4 keep
' expect: True
' expect: 2 3 corner
' expect: 2 two Variant() 8204 True
' expect error 9 line 16
