With 5
End With
' expect error 424 line 1
