' + adds numbers held in strings unless both sides are strings.
WScript.Echo "1" + "2", "1" + 2, TypeName("1" + 2)
WScript.Echo "a" + Empty, 1 & 2
WScript.Echo "3" * "4", "10" - 4
x = "abc" + 1
' expect: 12 3 Double
' expect: a 12
' expect: 12 6
' expect error 13 line 5
