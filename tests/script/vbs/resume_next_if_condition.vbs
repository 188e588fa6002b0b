' Under On Error Resume Next a failing If condition goes on into the Then block.
On Error Resume Next
If 1 / 0 = 5 Then
  WScript.Echo "then", Err.Number
Else
  WScript.Echo "else"
End If
' expect: then 11
