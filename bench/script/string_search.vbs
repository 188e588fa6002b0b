' Hundreds of thousands of strings: built, joined, split again, searched and replaced.
Sub Main
  Dim words(), i, n, text, parts, hits, total, found, pos
  n = 700000
  ReDim words(n - 1)
  For i = 0 To n - 1
    words(i) = "item" & (i * 7 Mod 1000) & "x"
  Next
  text = Join(words, ",")
  For pass = 1 To 6
    parts = Split(text, ",")
    hits = 0
    total = 0
    For i = 0 To UBound(parts)
      If InStr(parts(i), "77") > 0 Then hits = hits + 1
      total = total + Len(parts(i))
    Next
  Next
  found = 0
  pos = InStr(text, "item999x")
  Do While pos > 0
    found = found + 1
    pos = InStr(pos + 1, text, "item999x")
  Loop
  text = Replace(text, "item", "it")
  WScript.Echo hits & " " & total & " " & found & " " & Len(text) & " " & UBound(Split(text, "9x,"))
End Sub
Main
