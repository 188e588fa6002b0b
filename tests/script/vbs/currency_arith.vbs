Dim c
c = CCur(0.1)
WScript.Echo c + c + c = CCur(0.3), TypeName(c * 3), c * 3, CCur(1) / 3
' expect: True Currency 0.3 0.333333333333333
