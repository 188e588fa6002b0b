Dim x
Set x = Nothing
WScript.Echo TypeName(x), x Is Nothing
Set x = 5
' expect: Nothing True
' expect error 424 line 4
