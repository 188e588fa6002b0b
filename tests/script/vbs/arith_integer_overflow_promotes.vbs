' Integer arithmetic promotes to Long, then Double, instead of overflowing.
Dim a, b
a = 32767
b = a + 1
WScript.Echo TypeName(a), TypeName(b), b
a = 2147483647
WScript.Echo TypeName(a + 1), a + 1
WScript.Echo TypeName(CByte(200) + CByte(100)), CByte(200) + CByte(100)
WScript.Echo TypeName(CByte(2) + CByte(3))
WScript.Echo TypeName(True + True), True + True
WScript.Echo TypeName(Empty + Empty)
' expect: Integer Long 32768
' expect: Double 2147483648
' expect: Integer 300
' expect: Byte
' expect: Integer -2
' expect: Integer
