Dim a(3)
ExecuteGlobal "Dim b"
ExecuteGlobal "Dim a(2)"
' expect error 1041 line 3
