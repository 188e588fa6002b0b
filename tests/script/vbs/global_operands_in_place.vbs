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
