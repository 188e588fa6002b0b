Sub SetIt(x, v)
  x = v
End Sub
Dim arr(2)
SetIt arr(1), "one"
WScript.Echo arr(1)
Class Box
  Public Value
  Sub Fill
    SetIt Value, "filled"
  End Sub
End Class
Dim b
Set b = New Box
b.Fill
WScript.Echo b.Value
SetIt b.Value, "not by ref"
WScript.Echo b.Value
' expect: one
' expect: filled
' expect: filled
