Function F()
  F = 1
End Sub
' expect error 1015 line 3
