WScript.Echo TypeName(Empty), TypeName(Null), TypeName(1), TypeName(100000), TypeName(1.5)
WScript.Echo TypeName("s"), TypeName(True), TypeName(CCur(1)), TypeName(CSng(1)), TypeName(#1/2/2003#)
WScript.Echo VarType(Empty), VarType(Null), VarType(1), VarType("s"), VarType(True), VarType(CByte(1)), VarType(Nothing)
' expect: Empty Null Integer Long Double
' expect: String Boolean Currency Single Date
' expect: 0 1 2 8 11 17 9
