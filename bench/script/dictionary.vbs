' Word counting in a Dictionary: adds, lookups, updates, Exists and a walk over the keys.
Sub Main
  Dim d, i, k, total
  Set d = CreateObject("Scripting.Dictionary")
  For i = 1 To 1800000
    k = "w" & (i Mod 5000)
    If d.Exists(k) Then
      d(k) = d(k) + 1
    Else
      d.Add k, 1
    End If
  Next
  total = 0
  For Each k In d.Keys
    total = total + d(k)
  Next
  WScript.Echo d.Count & " " & total
End Sub
Main
