Dim x
x = 5
WScript.Echo x.Foo
' expect error 424 line 3
