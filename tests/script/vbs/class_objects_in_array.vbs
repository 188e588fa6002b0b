Class Item
  Public Name
End Class
Dim list(2)
For i = 0 To 2
  Set list(i) = New Item
  list(i).Name = "item" & i
Next
For Each it In list
  WScript.Echo it.Name
Next
' expect: item0
' expect: item1
' expect: item2
