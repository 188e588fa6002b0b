' Class-heavy code: many small objects with properties, a linked list and method calls.
Class Vec
  Public X, Y
  Public Function Plus(o)
    Dim r
    Set r = New Vec
    r.X = X + o.X
    r.Y = Y + o.Y
    Set Plus = r
  End Function
  Public Property Get Norm1
    Norm1 = Abs(X) + Abs(Y)
  End Property
End Class
Class Node
  Public Value
  Public NextNode
End Class
Class Account
  Private total_
  Private Sub Class_Initialize
    total_ = 0
  End Sub
  Public Property Let Deposit(v)
    total_ = total_ + v
  End Property
  Public Property Get Total
    Total = total_
  End Property
End Class
Sub Main
  Dim i, v, w, head, n, s, acc
  Set v = New Vec
  v.X = 0 : v.Y = 0
  For i = 1 To 1200000
    Set w = New Vec
    w.X = i Mod 7
    w.Y = -(i Mod 5)
    Set v = v.Plus(w)
  Next
  Set head = Nothing
  For i = 1 To 600000
    Set n = New Node
    n.Value = i
    Set n.NextNode = head
    Set head = n
  Next
  s = 0
  Set n = head
  Do Until n Is Nothing
    s = s + n.Value
    Set n = n.NextNode
  Loop
  Set acc = New Account
  For i = 1 To 1200000
    acc.Deposit = i Mod 10
  Next
  WScript.Echo v.X & " " & v.Y & " " & v.Norm1 & " " & s & " " & acc.Total
End Sub
Main
