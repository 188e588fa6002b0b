x = "abc
' expect error 1033 line 1
