' A statement may share the line of the Sub header and run into End Sub.
Sub S() WScript.Echo "in S"
End Sub
Sub T()
  WScript.Echo "in T" End Sub
Function F(a) F = a * 2 End Function
S
T
WScript.Echo F(4)
' expect: in S
' expect: in T
' expect: 8
