Dim x
Set x = Nothing
x.Foo
' expect error 91 line 3
