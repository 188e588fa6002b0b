Class Stack
  Private items()
  Private count
  Private Sub Class_Initialize
    ReDim items(1)
    count = 0
  End Sub
  Public Sub Push(v)
    If count > UBound(items) Then ReDim Preserve items(count * 2)
    items(count) = v
    count = count + 1
  End Sub
  Public Function Pop()
    count = count - 1
    Pop = items(count)
  End Function
End Class
Set s = New Stack
For i = 1 To 5 : s.Push i * 10 : Next
WScript.Echo s.Pop(), s.Pop(), s.Pop()
' expect: 50 40 30
