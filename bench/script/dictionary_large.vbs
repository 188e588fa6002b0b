' A Dictionary with hundreds of thousands of keys: adds, hits, misses, updates and removals.
Sub Main
  Dim d, i, n, k, hits, total
  Set d = CreateObject("Scripting.Dictionary")
  n = 700000
  For i = 1 To n
    d.Add "key" & i, i
  Next
  hits = 0
  For i = 1 To n * 2 Step 2
    If d.Exists("key" & i) Then hits = hits + 1
  Next
  For i = 1 To n Step 3
    d("key" & i) = d("key" & i) * 2
  Next
  For i = 2 To n Step 4
    d.Remove "key" & i
  Next
  total = 0
  For Each k In d.Keys
    total = total + d(k)
  Next
  WScript.Echo d.Count & " " & hits & " " & total
End Sub
Main
