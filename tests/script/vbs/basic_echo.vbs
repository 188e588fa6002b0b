' The simplest script: literals and concatenation reach the output.
WScript.Echo "abc"
WScript.Echo 1 + 2
WScript.Echo "a" & 1 & True
' expect: abc
' expect: 3
' expect: a1True
