Dim Then
' expect error 1010 line 1
