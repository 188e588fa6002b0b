' Arguments given to a member that takes none index its value.
Class Bag
  Private data
  Private Sub Class_Initialize
    data = Array("x", "y")
  End Sub
  Public Property Get Items
    Items = data
  End Property
  Public Names
End Class
Set b = New Bag
b.Names = Array("n0", "n1")
WScript.Echo b.Items(1), b.Names(0)
' expect: y n0
