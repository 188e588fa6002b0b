Class Node
  Public Value
  Public NextNode
End Class
Set a = New Node : a.Value = 1
Set b = New Node : b.Value = 2
Set a.NextNode = b
WScript.Echo a.NextNode.Value
a.NextNode.Value = 3
WScript.Echo b.Value, a.NextNode Is b, IsEmpty(b.NextNode)
' expect: 2
' expect: 3 True True
