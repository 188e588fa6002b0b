Dim c, x
c = True
If c Then x = 1 End If
WScript.Echo x
' expect: 1
