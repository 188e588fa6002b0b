' Rnd of a negative number restarts the generator from that number: the same value every
' time, and the same sequence after it; Rnd(0) repeats the last value.
a = Rnd(-1)
b = Rnd
c = Rnd(-1)
d = Rnd
WScript.Echo a, a = c, b = d, Rnd(0) = d
WScript.Echo Rnd(-5) = Rnd(-5), Rnd(-1) <> Rnd(-2)
' expect: 0.224007 True True True
' expect: True True
