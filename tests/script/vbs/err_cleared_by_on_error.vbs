On Error Resume Next
x = 1 / 0
WScript.Echo Err.Number
On Error Resume Next
WScript.Echo Err.Number
Err.Number = 7
WScript.Echo Err.Number, Err
' expect: 11
' expect: 0
' expect: 7 7
