Function Find()
  Dim i, j
  For i = 1 To 3
    Do
      For j = 1 To 3
        If i * j = 4 Then
          Find = i & "," & j
          Exit Function
        End If
      Next
      Exit Do
    Loop
  Next
  Find = "none"
End Function
WScript.Echo Find()
' expect: 2,2
