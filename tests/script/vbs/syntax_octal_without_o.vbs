WScript.Echo &17, &O17, VarType(&17)
' expect: 15 15 2
