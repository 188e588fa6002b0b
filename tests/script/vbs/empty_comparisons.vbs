Dim e
WScript.Echo e = 0, e = "", e = False, IsEmpty(e), Len(e), e & "x", e + 1
' expect: True True True True 0 x 1
