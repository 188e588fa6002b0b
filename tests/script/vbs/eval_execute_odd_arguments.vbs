On Error Resume Next
Dim r
r = Eval("1 +")
WScript.Echo Err.Number
Err.Clear
WScript.Echo IsNull(Eval(Null)), Err.Number
Execute 42
WScript.Echo Err.Number
' expect: 1002
' expect: True 0
' expect: 13
