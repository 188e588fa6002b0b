Dim A
Sub A
End Sub
' expect error 1041 line 3
