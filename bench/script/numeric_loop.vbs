Sub Main
  Dim i, total
  total = 0
  For i = 1 To 24000000
    total = total + (i * 3) Mod 7
  Next
  WScript.Echo total
End Sub
Main
