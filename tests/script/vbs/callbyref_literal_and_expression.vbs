Sub Change(x)
  x = "changed"
End Sub
Change 5
a = 1
Change a + 0
WScript.Echo a
Change (a)
WScript.Echo a
Change a
WScript.Echo a
' expect: 1
' expect: 1
' expect: changed
