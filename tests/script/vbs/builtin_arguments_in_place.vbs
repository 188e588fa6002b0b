' Builtins given locals, literals and elements of local arrays.
Class Named
  Public Default Property Get Value
    Value = "from object"
  End Property
End Class
Sub Main
  Dim a(2), i, s, o, n
  a(0) = "alpha" : a(1) = "beta" : a(2) = 7
  i = 1
  WScript.Echo InStr(a(i), "t"), Len(a(i - 1)), Mid(a(0), 2, i + 1), UCase(a(i + 1)), UBound(a)
  Set a(2) = New Named
  WScript.Echo Len(a(2)), a(2)
  s = "x"
  WScript.Echo Replace(s & a(0), "a", s), TypeName(a(i))
  On Error Resume Next
  n = Len(a(3))
  WScript.Echo Err.Number
  Err.Clear
  n = Len(s(0))
  WScript.Echo Err.Number
End Sub
Main
' expect: 3 5 lp 7 2
' expect: 11 from object
' expect: xxlphx String
' expect: 9
' expect: 13
