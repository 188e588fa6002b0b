' Under On Error Resume Next a failing Select Case expression goes on with the Case tests,
' which see Empty; a failing Case expression resumes in its own Case, a failing ElseIf
' condition in its own block.
On Error Resume Next
Select Case 1 / 0
Case 1
  WScript.Echo "one"
Case Else
  WScript.Echo "else", Err.Number
End Select
Err.Clear
Select Case CInt("x")
Case 1
  WScript.Echo "one"
Case 0
  WScript.Echo "empty matches 0", Err.Number
End Select
Err.Clear
Select Case 3
Case 1
  WScript.Echo "one"
Case CInt("x"), 3
  WScript.Echo "failing case", Err.Number
Case 3
  WScript.Echo "three"
End Select
Err.Clear
x = 2
If x = 1 Then
  WScript.Echo "if"
ElseIf x / 0 = 1 Then
  WScript.Echo "elseif", Err.Number
Else
  WScript.Echo "else"
End If
' expect: else 11
' expect: empty matches 0 13
' expect: failing case 13
' expect: elseif 11
