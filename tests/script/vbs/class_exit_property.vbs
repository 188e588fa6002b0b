Class K
  Public Property Get P
    P = "early"
    Exit Property
    P = "late"
  End Property
End Class
Set k = New K
WScript.Echo k.P
' expect: early
