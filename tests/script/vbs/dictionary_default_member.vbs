' d(key) reads and writes the item; the key is evaluated before d is looked at, so a key
' expression that replaces d sends the call to the new value.
Dim d, other, keys, r
Set d = CreateObject("Scripting.Dictionary")
r = d("missing")
WScript.Echo d.Count, d.Exists("missing"), IsEmpty(r)
d("n") = 5
d("n") = d("n") * 2
WScript.Echo d("n"), d.Item("n")
keys = d.Keys
d.Add "later", 1
keys(0) = "changed"
WScript.Echo UBound(keys), d.Exists("missing"), d.Exists("changed")
Function SwapToArray()
  d = Array("x", "y")
  SwapToArray = 1
End Function
Function SwapToOther()
  Set d = other
  SwapToOther = "k"
End Function
Set other = CreateObject("Scripting.Dictionary")
WScript.Echo d(SwapToArray())
Set d = CreateObject("Scripting.Dictionary")
d(SwapToOther()) = "into other"
WScript.Echo other("k"), d Is other
Set d = CreateObject("Scripting.Dictionary")
d(1) = Array(1, 2)
WScript.Echo UBound(d(1)), d(1)(1)
d(SwapToArray()) = "z"
WScript.Echo Join(d, ",")
' expect: 1 True True
' expect: 10 10
' expect: 1 True False
' expect: y
' expect: into other True
' expect: 1 2
' expect: x,z
