Sub Check(v)
  Select Case v
    Case "x"
      WScript.Echo "letter"
    Case 1, 2
      WScript.Echo "small"
    Case 3
    Case Else
      WScript.Echo "other " & v
  End Select
End Sub
Check 1
Check 2
Check "x"
Check 3
Check 4
' expect: small
' expect: small
' expect: letter
' expect: other 4
