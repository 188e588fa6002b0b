Set x = New Nope
' expect error 506 line 1
