' A fixed-size array variable cannot take a whole new value; a copy of it is an ordinary
' dynamic array that can.
Dim a(3), b, c(1)
a(0) = "x"
b = a
ReDim Preserve b(5)
b(5) = "y"
WScript.Echo UBound(a), UBound(b), b(0), b(5)
b = Array(1)
WScript.Echo UBound(b)
Sub Replace(x)
  x = Array(2)
End Sub
Class Holder
  Private items(2)
  Sub Fill
    items = Array(1, 2, 3)
  End Sub
End Class
On Error Resume Next
c = Array(1)
WScript.Echo "value", Err.Number, Err.Description
Err.Clear
c = 5
WScript.Echo "scalar", Err.Number
Err.Clear
Replace c
WScript.Echo "by reference", Err.Number
Err.Clear
Set h = New Holder
h.Fill
WScript.Echo "field", Err.Number
Err.Clear
ReDim c(4)
WScript.Echo "redim", Err.Number, UBound(c)
On Error GoTo 0
a = Array(1)
' expect: 3 5 x y
' expect: 0
' expect: value 10 This array is fixed or temporarily locked
' expect: scalar 10
' expect: by reference 10
' expect: field 10
' expect: redim 10 1
' expect error 10 line 37
