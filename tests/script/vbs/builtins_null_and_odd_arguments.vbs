' Argument checks come before Null passes through; some builtins refuse Null outright.
On Error Resume Next
Dim r
r = Mid(Null, -1, -1) : WScript.Echo "mid", Err.Number : Err.Clear
r = Escape(Null) : WScript.Echo "escape", Err.Number : Err.Clear
r = DateValue(Null) : WScript.Echo "datevalue", Err.Number : Err.Clear
r = Join(Null) : WScript.Echo "join", Err.Number : Err.Clear
WScript.Echo IsNull(Mid(Null, 1, 2)), Err.Number
' expect: mid 5
' expect: escape 94
' expect: datevalue 94
' expect: join 94
' expect: True 0
