Execute "a = 5"
WScript.Echo a, Eval("a * 2"), Eval("a = 5")
ExecuteGlobal "Function Sq(n) : Sq = n * n : End Function"
WScript.Echo Sq(7)
Sub Local
  Dim v
  v = 3
  Execute "v = v + 1"
  WScript.Echo v, Eval("v * 10")
End Sub
Local
' expect: 5 10 True
' expect: 49
' expect: 4 40
