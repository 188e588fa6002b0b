' Fields read and assigned inside methods: numbers, arrays by value, objects by default value.
Class Box
  Public Default Property Get Value
    Value = 42
  End Property
End Class
Class Holder
  Private n, list, other
  Private Sub Class_Initialize
    n = 0
    list = Array(1, 2)
  End Sub
  Public Sub Bump(k)
    n = n + k
    n = n * 2 - k
  End Sub
  Public Function Snapshot()
    Dim copy
    copy = list
    copy(0) = "changed"
    Snapshot = list(0) & " " & copy(0)
  End Function
  Public Sub Take(o)
    other = o
  End Sub
  Public Property Get Total
    Total = n & " " & other
  End Property
End Class
Set h = New Holder
h.Bump 3
h.Bump 1
h.Take New Box
WScript.Echo h.Total, h.Snapshot()
' expect: 7 42 1 changed
