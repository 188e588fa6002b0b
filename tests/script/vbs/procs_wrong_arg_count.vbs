Sub Two(a, b)
End Sub
WScript.Echo "x"
Two 1
' expect: x
' expect error 450 line 4
