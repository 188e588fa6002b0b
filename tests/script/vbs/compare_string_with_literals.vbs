' A number literal converts the string and fails when it holds no number; True does not.
Dim s, a
s = "abc"
WScript.Echo "-1" = True, s = True, "10" = 10
On Error Resume Next
WScript.Echo s = 1
WScript.Echo "literal", Err.Number
Err.Clear
a = Array(1)
WScript.Echo a = Null
WScript.Echo "array", Err.Number
' expect: False False True
' expect: literal 13
' expect: array 13
