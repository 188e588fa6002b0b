' Math: Round halves to even, Sgn, Sqr/Log domain errors, Hex/Oct widths, RGB, trigonometry.
WScript.Echo Round(2.5), Round(3.5), Round(-2.5), Round(0.5), Round(1.5), Round(2.675, 2), Round(0.125, 2)
WScript.Echo Round(1234.5678, 2), Round(-1.005, 2), TypeName(Round(2.5)), TypeName(Round(CInt(3))), IsNull(Round(Null))
WScript.Echo TypeName(Round(CSng(1.5))), TypeName(Round(CCur(1.5))), Round("7.5"), Round(12345678.5)
WScript.Echo Sgn(-3), Sgn(0), Sgn(2.5), TypeName(Sgn(1))
WScript.Echo Sqr(16), Exp(0), Log(Exp(2)), Abs(-3), Abs("-2.5"), Int(-2.5), Fix(-2.5)
WScript.Echo Round(Atn(1) * 4, 6), Round(Sin(0), 3), Cos(0), Round(Tan(Atn(1)), 6)
WScript.Echo Hex(255), Hex(-1), Hex(CLng(-1)), Hex(65536), Oct(8), Oct(-1), IsNull(Hex(Null)), Hex(2.5), Hex(3.5)
WScript.Echo RGB(255, 0, 0), RGB(0, 255, 0), RGB(1, 2, 3), RGB(300, 0, 0), vbRed, vbBlue = RGB(0, 0, 255)
WScript.Echo CInt("12"), CLng(2.5), CDbl("1e3"), CBool("False"), CByte(255), TypeName(CCur(1)), TypeName(CSng(1))
WScript.Echo IsNumeric("1e3"), IsNumeric("12abc"), IsNumeric(""), IsNumeric(" 5 "), IsNumeric(Null), IsNumeric(Empty), IsNumeric("&H1F")
Randomize 1
r = Rnd
WScript.Echo r >= 0 And r < 1, TypeName(r)
On Error Resume Next
x = Sqr(-1)
WScript.Echo Err.Number
Err.Clear
x = Log(0)
WScript.Echo Err.Number
Err.Clear
x = CByte(256)
WScript.Echo Err.Number
Err.Clear
x = Round(1.5, -1)
WScript.Echo Err.Number
Err.Clear
x = Sqr(Null)
WScript.Echo Err.Number
' expect: 2 4 -2 0 2 2.68 0.12
' expect: 1234.57 -1 Double Integer True
' expect: Single Currency 8 12345678
' expect: -1 0 1 Integer
' expect: 4 1 2 3 2.5 -3 -2
' expect: 3.141593 0 1 1
' expect: FF FFFF FFFFFFFF 10000 10 177777 True 2 4
' expect: 255 65280 197121 255 255 True
' expect: 12 2 1000 False 255 Currency Single
' expect: True False False True False True True
' expect: True Single
' expect: 5
' expect: 5
' expect: 6
' expect: 5
' expect: 94
