' Top-level variables read and assigned in place, and the names that refuse assignment.
Const Limit = 3
Class Box
  Public Default Property Get Value
    Value = 42
  End Property
End Class
Function Twice(n)
  Twice = n * 2
End Function
Function Grow()
  g = g & "+"
  Grow = 1
End Function
Dim g, h, a, b, o
g = "a" : h = 2
WScript.Echo g & h, h + Limit, h < Limit, Grow() & g
' An array assigned by value, an object by its default value.
a = Array(1, 2)
b = a
b(0) = 9
Set o = New Box
h = o
WScript.Echo a(0), b(0), h, TypeName(o)
On Error Resume Next
Limit = 4
WScript.Echo Err.Number, Limit
Err.Clear
Twice = 5
WScript.Echo Err.Number, Twice(2)
Err.Clear
' A name that becomes a procedure after the code using it was compiled.
ExecuteGlobal "Function Late(): Late = 7: End Function"
x = Late
WScript.Echo x
' expect: a2 5 True 1a+
' expect: 1 9 42 Box
' expect: 501 3
' expect: 501 4
' expect: 7
' Elements of top-level arrays, indexed by top-level variables.
Dim arr(3), j, t
arr(0) = 4 : arr(1) = 3 : arr(2) = 2 : arr(3) = 1
For j = 0 To 2
  If arr(j) > arr(j + 1) Then t = arr(j) : arr(j) = arr(j + 1) : arr(j + 1) = t
Next
WScript.Echo arr(0), arr(1), arr(2), arr(3), Len(arr(j)), arr(j - Limit)
j = 4
n = arr(j)
WScript.Echo Err.Number
Err.Clear
j = "1"
WScript.Echo arr(j) + arr(Twice(1))
' expect: 3 2 1 4 1 3
' expect: 9
' expect: 3
