' A long linked list of objects is freed without exhausting the stack, terminators included.
Class Node
  Public NextNode
End Class
Class Last
  Private Sub Class_Terminate
    WScript.Echo "last freed"
  End Sub
End Class
Sub Build
  Dim head, n, i
  Set head = New Last
  For i = 1 To 200000
    Set n = New Node
    Set n.NextNode = head
    Set head = n
  Next
  WScript.Echo "built"
End Sub
Build
WScript.Echo "done"
' expect: built
' expect: last freed
' expect: done
