' Nested loops over array elements with swaps: a bubble sort and a reversal in place.
Sub Main
  Dim a(), i, j, n, t, seed, swaps
  n = 5500
  ReDim a(n - 1)
  seed = 12345
  For i = 0 To n - 1
    seed = (seed * 1103 + 12345) Mod 65536
    a(i) = seed
  Next
  swaps = 0
  For i = 0 To n - 2
    For j = 0 To n - 2 - i
      If a(j) > a(j + 1) Then
        t = a(j)
        a(j) = a(j + 1)
        a(j + 1) = t
        swaps = swaps + 1
      End If
    Next
  Next
  For i = 0 To n \ 2 - 1
    t = a(i)
    a(i) = a(n - 1 - i)
    a(n - 1 - i) = t
  Next
  WScript.Echo swaps & " " & a(0) & " " & a(n - 1)
End Sub
Main
