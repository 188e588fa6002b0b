' Split with delimiter, limit and compare; Join; Filter including and excluding.
a = Split("a,b,,c", ",")
WScript.Echo UBound(a), a(0), "[" & a(2) & "]", a(3)
a = Split("a b  c")
WScript.Echo UBound(a), Join(a, "|")
a = Split("a,b,c,d", ",", 2)
WScript.Echo UBound(a), a(1)
a = Split("aXbxc", "x", -1, vbTextCompare)
WScript.Echo Join(a, "-")
a = Split("aXbxc", "x")
WScript.Echo Join(a, "-")
a = Split("")
WScript.Echo UBound(a), LBound(a), TypeName(a)
a = Split("abc", "")
WScript.Echo UBound(a), a(0)
a = Split("a,b", ",", 0)
WScript.Echo UBound(a)
WScript.Echo Join(Array(1, "x", True)), Join(Array("a", "b"), "")
f = Filter(Array("apple", "Banana", "cherry", "grape"), "an")
WScript.Echo UBound(f), Join(f, ",")
f = Filter(Array("apple", "Banana", "cherry"), "A", True, vbTextCompare)
WScript.Echo Join(f, ",")
f = Filter(Array("apple", "Banana", "cherry"), "a", False)
WScript.Echo Join(f, ",")
f = Filter(Array("x"), "q")
WScript.Echo UBound(f)
On Error Resume Next
f = Filter("notarray", "a")
WScript.Echo Err.Number
' expect: 3 a [] c
' expect: 3 a|b||c
' expect: 1 b,c,d
' expect: a-b-c
' expect: aXb-c
' expect: -1 0 Variant()
' expect: 0 abc
' expect: -1
' expect: 1 x True ab
' expect: 0 Banana
' expect: apple,Banana
' expect: cherry
' expect: -1
' expect: 13
