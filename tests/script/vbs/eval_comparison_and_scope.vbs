x = 3
WScript.Echo Eval("x = 3"), Eval("x + 1"), TypeName(Eval("x & """""))
Eval("1 +")
' expect: True 4 String
' expect error 1002 line 3
