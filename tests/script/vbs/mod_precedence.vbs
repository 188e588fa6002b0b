WScript.Echo 10 - 7 Mod 3, 2 * 3 Mod 4, 7 \ 2 * 2, 2 + 3 & 4, 1 + 2 = 3, -2 ^ 2, 2 ^ 3 ^ 2
' expect: 9 2 1 54 True 4 64
