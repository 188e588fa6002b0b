' A group read by its index straight from SubMatches, and an index past the groups.
Dim re, m, s
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)"
Set m = re.Execute("mail joe@example now")(0)
WScript.Echo m.SubMatches(0), m.SubMatches("1"), m.SubMatches(1.4), m.SubMatches.Count
' Text built by a chain of & around the result, longer than any room set aside for it.
s = "<" & m.SubMatches(0) & String(40, "-") & 12345 & ">" & m.SubMatches(1) & 2.5
WScript.Echo s, Len(s)
On Error Resume Next
s = m.SubMatches(2)
WScript.Echo Err.Number
' expect: joe example example 2
' expect: <joe----------------------------------------12345>example2.5 60
' expect: 5
