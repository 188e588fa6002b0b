' RegExp.Replace with $-references; anchors with and without Multiline; bad patterns.
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)\.com"
WScript.Echo re.Replace("mail bob@example.com now", "$2 at $1 [$&] {$`} <$'> $$ $3 $0")
re.Pattern = "o"
WScript.Echo re.Replace("foo boo", "0")
re.Global = True
WScript.Echo re.Replace("foo boo", "0")
re.Pattern = "^\w+$"
WScript.Echo re.Test("abc" & vbLf), re.Test("abc"), re.Execute("ab" & vbCrLf & "cd").Count
re.Multiline = True
Set ms = re.Execute("ab" & vbLf & "cd" & vbCrLf & "ef")
WScript.Echo ms.Count, ms(0), ms(1), ms(2)
re.Multiline = False
re.Pattern = "a.c"
WScript.Echo re.Test("a" & vbLf & "c"), re.Test("a" & vbCr & "c"), re.Test("a-c")
re.Pattern = "\u0041\/"
WScript.Echo re.Test("xA/y")
re.Pattern = "[a-c]+$"
WScript.Echo re.Replace("xyzabc", "!")
On Error Resume Next
re.Pattern = "(abc"
x = re.Test("abc")
WScript.Echo Err.Number, Err.Description
Err.Clear
Set o = CreateObject("No.Such")
WScript.Echo Err.Number, Err.Description
' expect: mail example at bob [bob@example.com] {mail } < now> $ $3 $0 now
' expect: f0o boo
' expect: f00 b00
' expect: False True 0
' expect: 3 ab cd ef
' expect: False True True
' expect: True
' expect: xyz!
' expect: 5017 Syntax error in regular expression
' expect: 429 ActiveX component can't create object
