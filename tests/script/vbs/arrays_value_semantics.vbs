' Assigning an array copies it.
Dim a, b
a = Array(1, 2, 3)
b = a
b(0) = 99
WScript.Echo a(0), b(0)
Sub Change(arr)
  arr(1) = "changed"
End Sub
Change a
WScript.Echo a(1)
Sub ChangeVal(ByVal arr)
  arr(2) = "changed"
End Sub
ChangeVal a
WScript.Echo a(2)
' expect: 1 99
' expect: changed
' expect: 3
