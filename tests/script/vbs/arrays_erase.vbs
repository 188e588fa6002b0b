Dim a(2), b
a(1) = 5
Erase a
WScript.Echo UBound(a), IsEmpty(a(1))
b = Array(1, 2)
Erase b
WScript.Echo UBound(b)
' expect: 2 True
' expect error 9 line 7
