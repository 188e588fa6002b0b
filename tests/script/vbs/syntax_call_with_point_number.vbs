Sub P(x)
  WScript.Echo x
End Sub
P.5
P .25
' expect: 0.5
' expect: 0.25
