On Error Resume Next
x = 1 / 0
WScript.Echo "continued", Err.Number, Err.Source
Err.Clear
WScript.Echo Err.Number, "[" & Err.Description & "]"
Err.Raise 1234, "mine", "custom text"
WScript.Echo Err.Number, Err.Source, Err.Description
On Error GoTo 0
WScript.Echo Err.Number
y = 1 / 0
WScript.Echo "not reached"
' expect: continued 11 VBScript runtime error
' expect: 0 []
' expect: 1234 mine custom text
' expect: 0
' expect error 11 line 10
