WScript.Echo "say ""hi""", Len(""""), Len("")
WScript.Echo &HFF, &H10&, &HFFFF, &O17, TypeName(&HFFFF)
WScript.Echo 1.5E3, .5, 1E20, 0.1 + 0.2, 1/3
WScript.Echo 100000 * 100000, 123456789012345678
' expect: say "hi" 1 0
' expect: 255 16 65535 15 Long
' expect: 1500 0.5 1E+20 0.3 0.333333333333333
' expect: 10000000000 1.23456789012346E+17
