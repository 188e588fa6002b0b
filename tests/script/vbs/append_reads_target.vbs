' Regression: the in-place append must read the target's old value where it appears.
s = "a"
s = s & "b" & s
WScript.Echo s
n = 5
n = n & n
WScript.Echo n, TypeName(n)
' expect: aba
' expect: 55 String
