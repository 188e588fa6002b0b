Sub Skip(i)
  i = i + 1
End Sub
For i = 1 To 6
  WScript.Echo i
  Skip i
Next
' expect: 1
' expect: 3
' expect: 5
