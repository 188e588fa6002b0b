' A member of Nothing is an object required error, read or written.
Dim x
Set x = Nothing
On Error Resume Next
x.Foo = 1
WScript.Echo Err.Number
On Error GoTo 0
x.Foo
' expect: 424
' expect error 424 line 8
