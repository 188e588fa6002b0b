WScript.Echo 1.5 & "", 1E+21 & "", CCur(12.5) & "", True & False, Null & Null & "z"
WScript.Echo TypeName(Null & Null), TypeName(1 & 2)
' expect: 1.5 1E+21 12.5 TrueFalse z
' expect: Null String
