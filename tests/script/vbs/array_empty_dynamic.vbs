Dim a()
n = 0
For Each x In a
  n = n + 1
Next
WScript.Echo n
b = Array()
WScript.Echo UBound(b), LBound(b)
WScript.Echo UBound(a)
' expect: 0
' expect: -1 0
' expect error 9 line 9
