' Deep and branching recursion: a sum down a chain of calls thousands deep, and Tak.
Function SumDown(n)
  If n = 0 Then
    SumDown = 0
  Else
    SumDown = n + SumDown(n - 1)
  End If
End Function
Function Tak(x, y, z)
  If y < x Then
    Tak = Tak(Tak(x - 1, y, z), Tak(y - 1, z, x), Tak(z - 1, x, y))
  Else
    Tak = z
  End If
End Function
Sub Main
  Dim i, t
  t = 0
  For i = 1 To 2500
    t = t + SumDown(3000)
  Next
  WScript.Echo t & " " & Tak(24, 16, 8)
End Sub
Main
