WScript.Echo CBool("False"), CBool("1"), CBool(-0.5), CInt(True), CStr(False), True & ""
If "true" Then WScript.Echo "string true"
If 0.1 Then WScript.Echo "nonzero"
If "x" Then WScript.Echo "never"
' expect: False True True -1 False True
' expect: string true
' expect: nonzero
' expect error 13 line 4
