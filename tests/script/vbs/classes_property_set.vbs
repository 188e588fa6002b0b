Class Holder
  Private o
  Public Property Set Item(x)
    Set o = x
  End Property
  Public Property Get Item
    Set Item = o
  End Property
End Class
Class Thing
  Public Name
End Class
Dim h, t
Set h = New Holder
Set t = New Thing
t.Name = "thing"
Set h.Item = t
WScript.Echo h.Item.Name
Set h.Item = "text"
' expect: thing
' expect error 424 line 19
