' Without Option Explicit, names spring into being; in a procedure they are local.
g = "global"
Sub UsesGlobal
  WScript.Echo g
  g = "changed"
  loc = "local"
End Sub
UsesGlobal
WScript.Echo g, IsEmpty(loc)
' expect: global
' expect: changed True
