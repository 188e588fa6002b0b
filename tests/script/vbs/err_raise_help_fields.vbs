On Error Resume Next
Err.Raise 1000, "src", "desc", "help.chm", 42
WScript.Echo Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext
Err.Clear
WScript.Echo "[" & Err.HelpFile & "]", Err.HelpContext
Err.Raise &H8007000E
WScript.Echo Err.Number, Err.Description
Err.Clear
Err.Raise
WScript.Echo Err.Number
' expect: 1000 src desc help.chm 42
' expect: [] 0
' expect: 7 Out of memory
' expect: 450
