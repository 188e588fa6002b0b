' / gives Double; \ and Mod round their operands half to even first.
WScript.Echo 7 / 2, TypeName(6 / 2)
WScript.Echo 7 \ 2, -7 \ 2, 7 Mod 3, -7 Mod 3
WScript.Echo 2.5 \ 1, 3.5 \ 1, 5.5 Mod 3
WScript.Echo 2 ^ 10, TypeName(2 ^ 2), -2 ^ 2, 2 ^ -1
' expect: 3.5 Double
' expect: 3 -3 1 -1
' expect: 2 4 0
' expect: 1024 Double 4 0.5
