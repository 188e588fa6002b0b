' How the arguments of a call to a script procedure are bound.
Function Bump(ByRef n)
  n = n + 10
  Bump = n
End Function
Function Pair(ByVal a, ByRef b)
  b = b + 1
  Pair = a & "/" & b
End Function
Function Two(a, b)
  Two = a + b
End Function
Function Depth(n)
  If n = 0 Then Depth = 0 Else Depth = 1 + Depth(n - 1)
End Function
Function Tak(x, y, z)
  If y < x Then Tak = Tak(Tak(x - 1, y, z), Tak(y - 1, z, x), Tak(z - 1, x, y)) Else Tak = z
End Function
Sub Main
  Dim x, i, arr(2)
  ' A ByVal copy and a ByRef binding of one variable.
  x = 1
  WScript.Echo Pair(x, x), x
  ' A variable passed ByVal is copied once every argument is evaluated.
  x = 1
  WScript.Echo Pair(x, Bump(x)), x
  ' A wrong argument count is found after the arguments ran.
  x = 1
  On Error Resume Next
  i = Two(Bump(x))
  WScript.Echo Err.Number, x
  Err.Clear
  ' An argument that fails leaves no call half made, however often.
  For i = 1 To 30000
    x = Two(1, 1 \ 0)
  Next
  WScript.Echo Err.Number
  On Error GoTo 0
  WScript.Echo Depth(5000), Tak(12, 8, 4)
  ' Array elements by reference, and a local array passed whole.
  arr(1) = 5
  x = Bump(arr(1))
  WScript.Echo arr(1), x, Pair(arr(1), arr(2)), arr(2)
End Sub
Main
' expect: 1/2 2
' expect: 11/12 11
' expect: 450 11
' expect: 11
' expect: 5000 5
' expect: 15 15 15/1 1
