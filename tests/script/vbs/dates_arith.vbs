Dim d
d = #1/31/2003#
WScript.Echo d + 1, TypeName(d + 1), d - #1/1/2003#, TypeName(d - #1/1/2003#)
WScript.Echo #12:30:00 PM#, CDbl(#1/1/1900#)
' expect: 2/1/2003 Date 30 Double
' expect: 12:30:00 PM 2
