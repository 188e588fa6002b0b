' A subscript computed by + or - is the Long the sum rounds to, whatever the operands' subtypes.
Dim a(5), i, x, big
For i = 0 To 5 : a(i) = i * 10 : Next
i = 1
x = 0.6
big = 32767
WScript.Echo a(i + 1), a(i - 1), a(x + 1), a(1 + x), a(2.5 - x), a(big - 32765)
WScript.Echo a(i + True), a(i + Empty), a("2" + i)
On Error Resume Next
WScript.Echo a(big + 1)
WScript.Echo Err.Number
Err.Clear
i = 2147483647
WScript.Echo a(i + 1)
WScript.Echo Err.Number
' expect: 20 0 20 20 20 20
' expect: 0 10 30
' expect: 9
' expect: 6
