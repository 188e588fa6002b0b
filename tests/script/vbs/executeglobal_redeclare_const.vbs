Const c = 1
ExecuteGlobal "Const c = 2"
' expect error 1041 line 2
