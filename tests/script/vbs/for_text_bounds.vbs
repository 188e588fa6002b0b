Dim i, n
For i = "1" To "2" Step "1"
  n = n + 1
Next
WScript.Echo n, i
' expect: 2 3
