Class P
  Public X, Y
  Public Function Sum()
    Sum = X + Y
  End Function
End Class
Dim p
Set p = New P
With p
  .X = 3
  .Y = 4
  WScript.Echo .Sum(), .X & "," & .Y
End With
' expect: 7 3,4
