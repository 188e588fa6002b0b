' The left operand is read before the right one runs code that changes it.
Function Bump(ByRef n)
  n = n + 10
  Bump = 1
End Function
Dim x, s, arr(2)
x = 1
WScript.Echo x + Bump(x), x
s = "ab"
WScript.Echo s & s & s, s, s & Bump(x), x
arr(0) = 1 : arr(1) = 2
WScript.Echo arr(0) + arr(1), arr(x - 20)
' expect: 2 11
' expect: ababab ab ab1 21
' expect: 3 2
