Class K
  Sub Class_Initialize(x)
  End Sub
End Class
' expect error 1053 line 3
