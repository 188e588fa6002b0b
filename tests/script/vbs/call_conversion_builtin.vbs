On Error Resume Next
Call CInt(1)
WScript.Echo Err.Number
Err.Clear
Call CStr(2)
WScript.Echo Err.Number
Err.Clear
Call Len("abc")
WScript.Echo Err.Number
' expect: 458
' expect: 458
' expect: 0
