Property Get X
End Property
' expect error 1048 line 1
