Class K
  Private Function Secret()
    Secret = 42
  End Function
  Public Function Reveal()
    Reveal = Secret() + Me.Secret
  End Function
End Class
Set k = New K
WScript.Echo k.Reveal()
WScript.Echo k.Secret
' expect: 84
' expect error 438 line 11
