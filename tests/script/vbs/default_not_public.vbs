Class K
  Private Default Function F()
  End Function
End Class
' expect error 1057 line 2
