WScript.Echo TypeName(Empty And Empty), TypeName(Not Empty), Not Empty
WScript.Echo TypeName(CByte(0) Imp Null), CByte(0) Imp Null, IsNull(CByte(1) Imp Null)
WScript.Echo TypeName(Round(True)), Round(True), TypeName(Abs(False)), Abs(True)
WScript.Echo TypeName(AscB("A")), AscB("A")
WScript.Echo &H8000, TypeName(&H8000), &H7FFF, TypeName(&H7FFF), &HFFFFFFFF
' expect: Long Long -1
' expect: Byte 255 True
' expect: Boolean True Integer 1
' expect: Byte 65
' expect: 32768 Long 32767 Integer -1
