' Regression: a named object (held like a constant) still takes default-member assignments.
Class Store
  Private d(3)
  Public Default Property Get Item(i)
    Item = d(i)
  End Property
  Public Property Let Item(i, v)
    d(i) = v
  End Property
End Class
Const Fixed = 1
Set s = New Store
s(1) = "one"
WScript.Echo s(1)
Fixed = 2
' expect: one
' expect error 501 line 15
