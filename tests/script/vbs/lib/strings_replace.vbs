' Replace with start, count and compare; the text before start is dropped.
WScript.Echo Replace("aXbXc", "X", "-")
WScript.Echo Replace("aXbXcX", "X", "-", 1, 2)
WScript.Echo Replace("aXbXc", "x", "-")
WScript.Echo Replace("aXbXc", "x", "-", 1, -1, vbTextCompare)
WScript.Echo Replace("abcabc", "b", "", 3)
WScript.Echo "[" & Replace("abc", "b", "x", 4) & "]"
WScript.Echo Replace("abc", "", "x"), Replace("abc", "b", "x", 1, 0)
WScript.Echo Replace("aaa", "a", "aa"), Replace(123, 2, 9)
On Error Resume Next
x = Replace(Null, "a", "b")
WScript.Echo Err.Number
Err.Clear
x = Replace("abc", "a", "b", 0)
WScript.Echo Err.Number
' expect: a-b-c
' expect: a-b-cX
' expect: aXbXc
' expect: a-b-c
' expect: cac
' expect: []
' expect: abc abc
' expect: aaaaaa 193
' expect: 94
' expect: 5
