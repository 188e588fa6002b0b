WScript.Echo #2003-01-02#, #Jan 5, 2004#, #3/4/2005 10:20:30 PM#
WScript.Echo Year0 & TypeName(#10:00#), CDbl(#12:00:00 PM#)
' expect: 1/2/2003 1/5/2004 3/4/2005 10:20:30 PM
' expect: Date 0.5
