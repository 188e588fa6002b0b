' Thousands of keys added, removed, re-added and renamed keep their order and their items.
Dim d, t, i, k
Set d = CreateObject("Scripting.Dictionary")
For i = 1 To 5000 : d.Add "k" & i, i : Next
For i = 1 To 5000 Step 2 : d.Remove "k" & i : Next
For i = 1 To 2500 : d.Add "k" & (i * 2 + 10000), i : Next
d.Key("k2") = "renamed"
WScript.Echo d.Count, d.Exists("k1"), d.Exists("k2"), d("renamed"), d.Exists("k4999"), d.Exists("k5000"), d("k15000")
k = d.Keys
WScript.Echo k(0), k(1), k(2), k(4999)
d.RemoveAll
d.Add "x", 1
WScript.Echo d.Count, d.Exists("k4")
Set t = CreateObject("Scripting.Dictionary")
t.CompareMode = 1
t.Add "Abc", 1
t.Add 1, "one"
WScript.Echo t.Exists("aBC"), t("ABC"), t.Exists(1.0), t.Exists("1"), t.Count
' expect: 5000 False False 2 False True 2500
' expect: renamed k4 k6 k15000
' expect: 1 False
' expect: True 1 True False 2
