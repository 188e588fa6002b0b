' Two elements of one array passed by reference to one call both stay elements of it.
Sub Swap(ByRef p, ByRef q)
  Dim t
  t = p : p = q : q = t
End Sub
Sub SetBoth(ByRef p, arr)
  p = "via reference"
  arr(3) = "via array"
End Sub
Sub Main
  Dim a(3)
  a(2) = 1 : a(3) = 2
  Swap a(2), a(3)
  WScript.Echo a(2), a(3)
End Sub
Main
Dim g(3), h
g(0) = "x" : g(1) = "y"
Swap g(0), g(1)
WScript.Echo g(0), g(1)
SetBoth g(2), g
WScript.Echo g(2), g(3)
' A copy taken while an element is lent out stays a copy.
h = g
Swap g(0), h(1)
WScript.Echo g(0), g(1), h(0), h(1)
' expect: 2 1
' expect: y x
' expect: via reference via array
' expect: x x y y
