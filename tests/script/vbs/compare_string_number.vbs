' A number variable is less than a string variable; literals convert the other side.
Dim s, n
s = "10"
n = 9
WScript.Echo s > n, n < s, s = 10, n = "9", s < 9
WScript.Echo "abc" < "abd", "B" < "a", "" = Empty, 0 = Empty
WScript.Echo 1 = 1.0, CLng(3) = CDbl(3), True = -1
' expect: True True True True False
' expect: True True True True
' expect: True True True
