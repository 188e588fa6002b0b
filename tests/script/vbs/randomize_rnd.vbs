Randomize 42
a = Rnd
Randomize 42
WScript.Echo a >= 0 And a < 1, TypeName(a)
' expect: True Single
