Class K
  Public [End], Value
End Class
Set k = New K
k.End = "e"
WScript.Echo k.End
' expect: e
