' Pieces of an earlier Split result stay as they were when a later Split reuses its storage.
Dim parts, kept, first, i, n
parts = Split("aa,bb,cc,dd", ",")
kept = parts
first = parts(0)
parts(1) = "changed"
parts = Split("x,yyyyyyyyyy", ",")
WScript.Echo Join(kept, "|"), first, Join(parts, "|"), UBound(parts)
parts = Split("1,22,333,4444,55555", ",")
parts(0) = parts(0) & "!"
parts = Split("p,,q", ",")
WScript.Echo Join(parts, "|"), UBound(parts), Len(parts(1))
parts = Split("k1 k2 k3 k4", " ", 2)
WScript.Echo Join(parts, "|"), UBound(parts)
parts = Split("AxBXc", "x", -1, 1)
WScript.Echo Join(parts, "|")
For i = 1 To 3
  parts = Split("a,b," & i, ",")
  n = n & parts(2)
Next
WScript.Echo n, kept(1), TypeName(parts(0))
first = parts(0)
parts = Split("zz,zz", ",")
parts = Split("yy,yy", ",")
WScript.Echo first, parts(0)
' expect: aa|bb|cc|dd aa x|yyyyyyyyyy 1
' expect: p||q 2 0
' expect: k1|k2 k3 k4 1
' expect: A|B|c
' expect: 123 bb String
' expect: a yy
