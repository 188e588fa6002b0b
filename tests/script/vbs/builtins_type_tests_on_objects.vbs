Dim d
Set d = CreateObject("Scripting.Dictionary")
WScript.Echo IsDate(d), IsNumeric(Nothing), IsNumeric(d), IsDate(Nothing)
WScript.Echo CByte(True), TypeName(CByte(True)), CBool("#TRUE#"), CBool("#False#")
' expect: False False False False
' expect: 255 Byte True False
