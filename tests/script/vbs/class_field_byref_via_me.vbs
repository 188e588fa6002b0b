Sub Bump(x)
  x = x + 1
End Sub
Class C
  Public N
  Sub Go
    N = 1
    Bump N
    Bump Me.N
  End Sub
End Class
Set o = New C
o.Go
WScript.Echo o.N
' expect: 2
