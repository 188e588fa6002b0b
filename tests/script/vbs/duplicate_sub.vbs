' The last definition of a procedure wins, even for calls written before it.
A
Sub A
  WScript.Echo "first"
End Sub
Sub A
  WScript.Echo "second"
End Sub
A
' expect: second
' expect: second
