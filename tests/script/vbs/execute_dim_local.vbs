' Dim in code run by Execute inside a procedure declares a local of that call, even when a
' global of the same name exists; later Execute and Eval code of the call sees it.
Dim shadow
shadow = "global"
Sub S
  Execute "Dim z, shadow(1) : z = 3 : shadow(0) = ""local"""
  Execute "WScript.Echo z, shadow(0)"
  WScript.Echo Eval("z + 1")
End Sub
S
WScript.Echo "[" & z & "]", shadow
' expect: 3 local
' expect: 4
' expect: [] global
