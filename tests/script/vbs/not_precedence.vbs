WScript.Echo Not 1 = 2, Not True And False, Not (True And False), Not 1 + 1
' expect: True False True -3
