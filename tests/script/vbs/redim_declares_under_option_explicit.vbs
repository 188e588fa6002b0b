Option Explicit
ReDim x(3)
x(3) = "last"
WScript.Echo UBound(x), x(3)
' expect: 3 last
