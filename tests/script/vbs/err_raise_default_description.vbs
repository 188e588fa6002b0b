On Error Resume Next
Err.Raise 9
WScript.Echo Err.Number, Err.Description
Err.Raise 31337
WScript.Echo Err.Number, Err.Description
' expect: 9 Subscript out of range
' expect: 31337 Unknown runtime error
