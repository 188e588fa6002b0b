Function F(a, b)
  WScript.Echo "F", a, b
  F = a + b
End Function
F 1, 2
Call F(3, 4)
x = F(5, 6)
WScript.Echo x
' expect: F 1 2
' expect: F 3 4
' expect: F 5 6
' expect: 11
