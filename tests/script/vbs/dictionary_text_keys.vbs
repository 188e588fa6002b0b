' Text keys: binary comparison tells case and type apart, text comparison does not, and
' the default member reads, adds and updates the same entries as Item and Exists.
Dim d, k, e
Set d = CreateObject("Scripting.Dictionary")
d.Add "a", 1
d.Add "A", 2
d.Add 1, "one"
d.Add "1", "text one"
WScript.Echo d.Count, d("a"), d("A"), d(1), d("1"), d.Exists("b")
k = "w" & 7
d(k) = d(k) + 1
d(k) = d(k) + 1
WScript.Echo d("w7"), d.Exists("W7"), d.Count
On Error Resume Next
d.Add "w" & 7, 0
e = Err.Number
On Error GoTo 0
WScript.Echo e
d.Key("a") = "b"
WScript.Echo d.Exists("a"), d("b"), Join(d.Keys, ",")
d.Remove "b"
WScript.Echo d.Exists("b"), d.Count
Set d = CreateObject("Scripting.Dictionary")
d.CompareMode = 1
d.Add "Key", 1
WScript.Echo d.Exists("KEY"), d("kEy")
On Error Resume Next
d.Add "KEY", 2
WScript.Echo Err.Number
' expect: 4 1 2 one text one False
' expect: 2 False 5
' expect: 457
' expect: False 1 b,A,1,1,w7
' expect: False 4
' expect: True 1
' expect: 457
