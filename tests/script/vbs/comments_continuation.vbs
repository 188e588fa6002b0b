Rem a comment line
x = 1 + _
    2 + _
    3 ' trailing comment
WScript.Echo x : WScript.Echo "two" : Rem after colon
' expect: 6
' expect: two
