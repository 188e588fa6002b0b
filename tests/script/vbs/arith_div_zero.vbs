On Error Resume Next
x = 1 / 0
WScript.Echo Err.Number, Err.Description
Err.Clear
x = 0 / 0
WScript.Echo Err.Number, Err.Description
Err.Clear
x = 5 Mod 0
WScript.Echo Err.Number
' expect: 11 Division by zero
' expect: 6 Overflow
' expect: 11
