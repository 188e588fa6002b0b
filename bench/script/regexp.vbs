' Matching subjects with a regular expression: Test, Execute with a group, and Replace.
Sub Main
  Dim re, i, s, hits, sum, m
  Set re = New RegExp
  re.Pattern = "^Order\s+(\d+)\s+from\s+(\w+)$"
  re.IgnoreCase = True
  hits = 0
  sum = 0
  For i = 1 To 600000
    s = "order " & i & " from shop" & (i Mod 7)
    If i Mod 3 = 0 Then s = "Re: " & s
    If re.Test(s) Then
      hits = hits + 1
      Set m = re.Execute(s)(0)
      sum = sum + CLng(m.SubMatches(0))
    End If
  Next
  re.Pattern = "\d"
  re.Global = True
  WScript.Echo hits & " " & sum & " " & re.Replace("a1b22c333", "#")
End Sub
Main
