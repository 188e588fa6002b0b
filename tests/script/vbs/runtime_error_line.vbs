Dim a
a = 1
WScript.Echo "before"
a = a / 0
WScript.Echo "after"
' expect: before
' expect error 11 line 4
