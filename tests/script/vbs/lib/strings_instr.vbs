' InStr and InStrRev: optional start, compare modes, empty and Null operands.
WScript.Echo InStr("abcabc", "c"), InStr(4, "abcabc", "c"), InStr("abc", "x"), InStr("abc", "")
WScript.Echo InStr(1, "ABC", "b"), InStr(1, "ABC", "b", vbTextCompare), InStr(1, "ABC", "b", 0)
WScript.Echo InStr(10, "abc", "a"), InStr("", "a"), InStr(2, "abc", "")
WScript.Echo IsNull(InStr(Null, "a")), IsNull(InStr("a", Null)), TypeName(InStr("a", "a"))
WScript.Echo InStrRev("abcabc", "c"), InStrRev("abcabc", "c", 5), InStrRev("abcabc", "bc", 2)
WScript.Echo InStrRev("ABC", "b", -1, 1), InStrRev("abc", ""), InStrRev("abc", "a", 9)
WScript.Echo InStrB("abc", "b"), LenB("abc"), AscB("A"), AscW("A"), ChrW(65), ChrB(66)
On Error Resume Next
x = InStr(0, "abc", "a")
WScript.Echo Err.Number
Err.Clear
x = InStr(Null, "abc", "a")
WScript.Echo Err.Number
Err.Clear
x = InStrRev("abc", "a", 0)
WScript.Echo Err.Number
Err.Clear
x = InStr(1, "abc", "a", 2)
WScript.Echo Err.Number
' expect: 3 6 0 1
' expect: 0 2 0
' expect: 0 0 2
' expect: True True Long
' expect: 6 3 0
' expect: 2 3 0
' expect: 3 6 65 65 A B
' expect: 5
' expect: 94
' expect: 5
' expect: 5
