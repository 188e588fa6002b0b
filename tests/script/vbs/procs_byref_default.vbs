' Arguments are ByRef unless ByVal; parentheses make an argument a value.
Sub Inc(x)
  x = x + 1
End Sub
Sub IncVal(ByVal x)
  x = x + 1
End Sub
Dim a
a = 1
Inc a
WScript.Echo a
Inc (a)
WScript.Echo a
Call Inc(a)
WScript.Echo a
IncVal a
WScript.Echo a
Call Inc((a))
WScript.Echo a
' expect: 2
' expect: 2
' expect: 3
' expect: 3
' expect: 3
