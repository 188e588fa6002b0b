' The same key looked up again after the table changed still finds the right item.
Set d = CreateObject("Scripting.Dictionary")
k = "a"
d.Add k, 1
d.Add "b", 2
WScript.Echo d.Exists(k), d(k)
d.Remove k
WScript.Echo d.Exists(k), d.Count
d.Add k, 3
WScript.Echo d(k), d("b")
d.Key(k) = "c"
WScript.Echo d.Exists(k), d("c"), d.Count
For i = 1 To 100
  d.Add "x" & i, i
Next
For i = 1 To 90
  d.Remove "x" & i
Next
k = "x95"
WScript.Echo d(k), d.Exists(k)
d(k) = d(k) + 1
WScript.Echo d("x95"), d.Count
d.RemoveAll
WScript.Echo d.Exists(k), d.Count
' expect: True 1
' expect: False 1
' expect: 3 2
' expect: False 3 2
' expect: 95 True
' expect: 96 12
' expect: False 0
