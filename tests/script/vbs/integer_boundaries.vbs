WScript.Echo TypeName(32767), TypeName(32768), TypeName(-32768), TypeName(2147483648)
WScript.Echo -32768 - 1, TypeName(-32768 - 1), CLng(2147483647) + 1
WScript.Echo CInt(-32768), CByte(255)
x = CByte(256)
' expect: Integer Long Long Double
' expect: -32769 Long 2147483648
' expect: -32768 255
' expect error 6 line 4
