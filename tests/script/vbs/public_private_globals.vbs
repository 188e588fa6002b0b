Public a
Private b
a = 1 : b = 2
Private Function Hidden()
  Hidden = a + b
End Function
Public Sub Shown
  WScript.Echo Hidden()
End Sub
Shown
' expect: 3
