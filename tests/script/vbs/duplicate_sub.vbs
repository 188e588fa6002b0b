Sub A
End Sub
Sub A
End Sub
' expect error 1041 line 4
