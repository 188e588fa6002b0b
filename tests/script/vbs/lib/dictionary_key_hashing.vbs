' Keys that differ only in length, in their last characters or in the sign of zero.
Set d = CreateObject("Scripting.Dictionary")
k = ""
For i = 0 To 9
  d.Add k, i
  d.Add k & Chr(0), -i
  k = k & "x"
Next
WScript.Echo d.Count, d(""), d("xxxx"), d("xxxxx" & Chr(0)), d.Exists("xxxxxxxxxxx")
d.Add 0, "zero"
WScript.Echo d.Exists(-0), d(-0.0 * 1), d.Exists(CDbl("-0"))
d.Add "abcdefgh", 1
d.Add "abcdefgi", 2
d.Add "bbcdefgh", 3
WScript.Echo d("abcdefgh"), d("abcdefgi"), d("bbcdefgh"), d.Count
' expect: 20 0 4 -5 False
' expect: True zero True
' expect: 1 2 3 24
