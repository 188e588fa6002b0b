Dim s, i
For i = 1 To 1000
  s = s & "ab"
Next
WScript.Echo Len(s), Left(s, 4), Mid(s, 3, 2)
s = Null
s = s & "x"
WScript.Echo s
' expect: 2000 abab ab
' expect: x
