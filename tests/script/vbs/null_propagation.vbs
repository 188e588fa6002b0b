' Null spreads through arithmetic and comparison but not through &.
Dim n
n = Null
WScript.Echo IsNull(n + 1), IsNull(n * 2), IsNull(n = 1), IsNull(-n)
WScript.Echo "a" & n & "b"
WScript.Echo IsNull(n And True), n And False, n Or True, IsNull(n Or False)
WScript.Echo IsNull(Not n), TypeName(n)
If n Then WScript.Echo "yes" Else WScript.Echo "no"
' expect: True True True True
' expect: ab
' expect: True False True True
' expect: True Null
' expect: no
