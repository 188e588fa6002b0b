' RegExp: New and CreateObject, Test, Execute with matches and submatches, flags.
Set re = New RegExp
WScript.Echo TypeName(re), re.Global, re.IgnoreCase, re.Multiline, "[" & re.Pattern & "]"
re.Pattern = "Order (\d+)"
WScript.Echo re.Test("Subject: Order 17"), re.Test("subject: order 17")
re.IgnoreCase = True
WScript.Echo re.Test("subject: order 17")
Set ms = re.Execute("Order 17 and Order 42")
WScript.Echo TypeName(ms), ms.Count, ms(0), ms(0).FirstIndex, ms(0).Length, ms(0).SubMatches(0)
re.Global = True
Set ms = re.Execute("Order 17 and Order 42")
WScript.Echo ms.Count, ms.Item(1).Value, ms(1).FirstIndex, ms(1).SubMatches.Count, TypeName(ms(1))
For Each m In ms
  WScript.Echo m.Value & "|" & m.SubMatches(0)
Next
Set r2 = CreateObject("VBScript.RegExp")
r2.Pattern = "(a)|(b)"
Set m = r2.Execute("b")(0)
WScript.Echo IsEmpty(m.SubMatches(0)), m.SubMatches(1), TypeName(m.SubMatches)
r2.Pattern = "x*"
r2.Global = True
WScript.Echo r2.Execute("axxb").Count, r2.Replace("ab", "-")
Set none = r2.Execute("")
WScript.Echo none.Count
' expect: IRegExp2 False False False []
' expect: True False
' expect: True
' expect: IMatchCollection2 1 Order 17 0 8 17
' expect: 2 Order 42 13 1 IMatch2
' expect: Order 17|17
' expect: Order 42|42
' expect: True b ISubMatches
' expect: 4 -a-b-
' expect: 1
