' Trimming, padding, case, reversing, comparing and character codes.
WScript.Echo "[" & Trim("  a b  ") & "]", "[" & LTrim("  a ") & "]", "[" & RTrim(" a  ") & "]"
WScript.Echo Len(Trim(vbTab & "a" & vbTab)), IsNull(Trim(Null))
WScript.Echo String(3, "xy"), String(2, 65), String(0, "z") = "", IsNull(String(Null, "a"))
WScript.Echo StrReverse("abc"), StrReverse(""), StrReverse(123)
WScript.Echo StrComp("a", "b"), StrComp("b", "a"), StrComp("A", "a"), StrComp("A", "a", 1), IsNull(StrComp(Null, "a"))
WScript.Echo TypeName(StrComp("a", "a")), UCase("aBc"), LCase("AbC"), Space(3) & "|"
WScript.Echo Asc("a"), Chr(97), AscW(ChrW(8364)), Len(ChrW(8364)), ChrW(-1) = ChrW(65535)
WScript.Echo Left("abc", 2), Right("abc", 2), Mid("abcdef", 2, 3), Mid("abc", 2), "[" & Mid("abc", 5) & "]"
WScript.Echo LeftB("abc", 2), RightB("abc", 2), MidB("abc", 3, 2), LenB("")
WScript.Echo Escape("a b&c/" & Chr(233) & ChrW(8364)), Unescape("a%20b%26c%zz"), Unescape("%u20AC%E9") = ChrW(8364) & Chr(233)
WScript.Echo Unescape(Escape("x=1;y=2 %")) = "x=1;y=2 %"
On Error Resume Next
x = Mid("abc", 0)
WScript.Echo Err.Number
Err.Clear
x = String(2, "")
WScript.Echo Err.Number
Err.Clear
x = Asc("")
WScript.Echo Err.Number
Err.Clear
x = StrReverse(Null)
WScript.Echo Err.Number
Err.Clear
x = Left("abc", -1)
WScript.Echo Err.Number
' expect: [a b] [a ] [ a]
' expect: 3 True
' expect: xxx AA True True
' expect: cba  321
' expect: -1 1 -1 0 True
' expect: Integer ABC abc    |
' expect: 97 a 8364 1 True
' expect: ab bc bcd bc []
' expect: a c b 0
' expect: a%20b%26c/%E9%u20AC a b&c%zz True
' expect: True
' expect: 5
' expect: 5
' expect: 5
' expect: 94
' expect: 5
