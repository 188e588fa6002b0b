Dim a
a = Array(Array(1, 2), Array(3, Array(4, 5)))
a(0)(1) = 9
a(1)(1)(0) = 8
WScript.Echo a(0)(0), a(0)(1), a(1)(1)(0), a(1)(1)(1)
' expect: 1 9 8 5
