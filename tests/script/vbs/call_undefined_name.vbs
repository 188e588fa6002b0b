' Calling a name that is neither a procedure nor a variable is a type mismatch, at top level,
' with Call, and inside a procedure; reading such a name gives Empty.
On Error Resume Next
Foo
WScript.Echo "statement", Err.Number, Err.Description
Err.Clear
Call Bar
WScript.Echo "call", Err.Number
Err.Clear
Sub Inner
  Baz
End Sub
Inner
WScript.Echo "in a procedure", Err.Number
Err.Clear
x = Qux
WScript.Echo "read", IsEmpty(x), Err.Number
' expect: statement 13 Type mismatch
' expect: call 13
' expect: in a procedure 13
' expect: read True 0
