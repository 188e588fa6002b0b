Sub Main
  Dim s, i
  s = ""
  For i = 1 To 7000000
    s = s & "ab" & (i Mod 10)
  Next
  WScript.Echo Len(s)
End Sub
Main
