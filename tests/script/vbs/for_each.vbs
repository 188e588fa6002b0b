Dim x, s, m(1, 1)
For Each x In Array("a", "b", "c")
  s = s & x
Next
WScript.Echo s
m(0, 0) = 1 : m(1, 0) = 2 : m(0, 1) = 3 : m(1, 1) = 4
s = ""
For Each x In m : s = s & x : Next
WScript.Echo s
For Each x In Array(1, 2, 3)
  If x = 2 Then Exit For
Next
WScript.Echo x
For Each x In 5
Next
' expect: abc
' expect: 1234
' expect: 2
' expect error 451 line 14
