Class Table
  Private data(3)
  Public Property Get Cell(i)
    Cell = data(i)
  End Property
  Public Property Let Cell(i, v)
    data(i) = v
  End Property
End Class
Set t = New Table
t.Cell(2) = "two"
WScript.Echo t.Cell(2), IsEmpty(t.Cell(1))
' expect: two True
