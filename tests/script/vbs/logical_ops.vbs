WScript.Echo True And False, True Or False, True Xor True, True Eqv False, False Imp False
WScript.Echo 12 And 10, 12 Or 3, 12 Xor 10, Not 0, Not 5, Not True
WScript.Echo TypeName(12 And 10), TypeName(CLng(12) And 10), TypeName(CByte(1) And CByte(3))
WScript.Echo 1 < 2 And 2 < 3, Not 1 = 2
' expect: False True False False True
' expect: 8 15 6 -1 -6 False
' expect: Integer Long Byte
' expect: True True
