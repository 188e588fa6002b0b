Select Case 1
  Case 1
    x = 1
End If
' expect error 1022 line 4
