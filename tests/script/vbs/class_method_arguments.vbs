' Arguments of a method call on an object: by reference, counted, and evaluated while the
' call site holds the object.
Class Counter
  Public Total
  Public Function Add(ByRef a, ByVal b)
    a = a + b
    b = 0
    Total = Total + a
    Add = Total
  End Function
  Private Sub Class_Terminate
    WScript.Echo "gone"
  End Sub
End Class
Dim o, x, y
Function Drop()
  Set o = Nothing
  Drop = 5
End Function
Sub Main
  Dim c, p, q, arr(1)
  Set c = New Counter
  c.Total = 0
  p = 1 : q = 2
  WScript.Echo c.Add(p, q), p, q
  arr(0) = 10
  WScript.Echo c.Add(arr(0), arr(0)), arr(0)
  On Error Resume Next
  x = c.Add(p)
  WScript.Echo Err.Number
End Sub
Main
Set o = New Counter
o.Total = 100
x = 1
WScript.Echo o.Add(x, Drop()), x
' expect: 3 3 2
' expect: 23 20
' expect: 450
' expect: gone
' expect: gone
' expect: 106 6
' A method calling another of its own by its bare name, by reference and by value.
Class Pair
  Public A, B
  Private Sub Swap(ByRef x, ByRef y)
    Dim t
    t = x : x = y : y = t
  End Sub
  Private Function Sum(ByVal x, y)
    x = x + y
    Sum = x
  End Function
  Public Function Run()
    Swap A, B
    Run = Sum(A, B) & " " & A & " " & B
  End Function
End Class
Set pr = New Pair
pr.A = 1 : pr.B = 2
WScript.Echo pr.Run()
' expect: 3 2 1
