Class Counter
  Private n
  Private Sub Class_Initialize
    n = 0
  End Sub
  Public Sub Bump(k)
    n = n + k
  End Sub
  Public Property Get Value
    Value = n
  End Property
End Class
Sub Main
  Dim c, i
  Set c = New Counter
  For i = 1 To 15000000
    c.Bump i Mod 3
  Next
  WScript.Echo c.Value
End Sub
Main
