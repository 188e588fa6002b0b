' A With reference outside With compiles and fails only when it runs.
WScript.Echo "before"
.foo = 1
' expect: before
' expect error 505 line 3
