WScript.Echo (1 <> Not 0), 3 = Not -4, Not 1 = 2 And True
' expect: True True True
