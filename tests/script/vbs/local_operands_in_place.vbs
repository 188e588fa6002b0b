' Operands and assignments on a procedure's own variables and array elements.
Function Regrow(ByRef arr)
  ReDim arr(5)
  arr(1) = 100
  Regrow = 1
End Function
Function Swap(ByRef p, ByRef q)
  Dim t
  t = p : p = q : q = t
  Swap = 0
End Function
Class Box
  Public Default Property Get Value
    Value = 42
  End Property
End Class
Sub Main
  Dim a(3), b, c, i, j, t, o, n
  a(0) = 5 : a(1) = 3 : i = 0 : j = 1
  ' The right element is read after the left operand ran the code that replaced the array.
  b = Array(1, 2)
  WScript.Echo Regrow(b) + b(1), UBound(b)
  ' Element against element, with an index sum, in a condition and in a value.
  If a(i) > a(i + 1) Then t = a(i) : a(i) = a(i + 1) : a(i + 1) = t
  WScript.Echo a(0), a(1), a(j - 1) + a(j), a(j) < a(j - 1)
  ' An index that is not a whole number, or out of range, or on a value that is no array.
  i = "1"
  WScript.Echo a(i) + a(0), a(1.6) + 0
  ' Past the largest Long the index is a Double, too big to convert.
  i = 2147483647
  On Error Resume Next
  n = a(i + 1)
  WScript.Echo Err.Number
  Err.Clear
  n = a(4) + 1
  WScript.Echo Err.Number
  Err.Clear
  t = 7
  n = t(0) + 1
  WScript.Echo Err.Number
  On Error GoTo 0
  ' Arrays assigned by value, elements through ByRef, objects by their default value.
  c = b
  c(1) = "copy"
  WScript.Echo b(1), c(1)
  a(2) = 1 : a(3) = 2
  n = Swap(a(2), a(3))
  WScript.Echo a(2), a(3)
  Set o = New Box
  a(0) = o
  t = o
  WScript.Echo TypeName(a(0)), t
  Set a(1) = o
  t = a(1)
  WScript.Echo TypeName(a(1)), t
  ' An array assigned into its own element is a copy of it as it was.
  b = Array(1, 2)
  b(0) = b
  WScript.Echo UBound(b(0)), b(0)(1)
  ' A fixed array refuses a whole assignment.
  On Error Resume Next
  a = 1
  WScript.Echo Err.Number
End Sub
Main
' expect: 101 5
' expect: 3 5 8 False
' expect: 8 0
' expect: 6
' expect: 9
' expect: 13
' expect: 100 copy
' expect: 2 1
' expect: Integer 42
' expect: Box 42
' expect: 1 2
' expect: 10
