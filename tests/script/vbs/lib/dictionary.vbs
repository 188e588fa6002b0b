' Scripting.Dictionary: Add, Item as default member, Exists, Keys/Items order, Remove,
' CompareMode, Key rename, key types, For Each and the errors scripts meet.
Set d = CreateObject("Scripting.Dictionary")
d.Add "b", 2
d.Add "a", 1
d("c") = 3
WScript.Echo TypeName(d), d.Count, d("a"), d.Item("b"), Join(d.Keys, ","), Join(d.Items, ",")
WScript.Echo d.Exists("a"), d.Exists("A"), d.Exists("z")
x = d("z")
WScript.Echo d.Count, IsEmpty(d("z")), d.Exists("z")
d.Remove "z"
d.Key("a") = "aa"
WScript.Echo Join(d.Keys, ","), d("aa")
For Each k In d
  s = s & k & "=" & d(k) & ";"
Next
WScript.Echo s
d.RemoveAll
WScript.Echo d.Count, UBound(d.Keys)
' Key types: numbers of any subtype are one key; text "1" is another.
d.Add 1, "int"
d(CLng(1)) = "long"
d(1.0) = "double"
d.Add "1", "text"
WScript.Echo d.Count, d(1), d("1")
Set o = New RegExp
Set d(o) = o
WScript.Echo d.Exists(o), TypeName(d(o)), d.Exists(New RegExp)
Set t = CreateObject("Scripting.Dictionary")
t.CompareMode = vbTextCompare
t.Add "Key", 1
WScript.Echo t.Exists("KEY"), t("kEy"), t.CompareMode
Set arr = CreateObject("Scripting.Dictionary")
arr("list") = Array(1, 2, 3)
WScript.Echo arr("list")(1)
On Error Resume Next
d.Add "1", "again"
WScript.Echo Err.Number, Err.Description
Err.Clear
d.Remove "missing"
WScript.Echo Err.Number, Err.Description
Err.Clear
t.CompareMode = 0
WScript.Echo Err.Number
Err.Clear
d.Key("missing") = "x"
WScript.Echo Err.Number
' expect: Dictionary 3 1 2 b,a,c 2,1,3
' expect: True False False
' expect: 4 True True
' expect: b,aa,c 1
' expect: b=2;aa=1;c=3;
' expect: 0 -1
' expect: 2 double text
' expect: True IRegExp2 False
' expect: True 1 1
' expect: 2
' expect: 457 This key is already associated with an element of this collection
' expect: 32811 Element not found
' expect: 5
' expect: 32811
