Dim a(2)
a("1") = "one"
WScript.Echo a(1), a(1.4), a(True + 2)
' expect: one one one
