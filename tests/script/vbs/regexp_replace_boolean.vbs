Dim re
Set re = New RegExp
re.Pattern = "b"
WScript.Echo re.Replace("abc", True), re.Replace("abc", 5)
' expect: a-1c a5c
