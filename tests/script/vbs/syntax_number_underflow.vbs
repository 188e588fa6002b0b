WScript.Echo 1e-400, VarType(1e-400), 1E+2
' expect: 0 5 100
