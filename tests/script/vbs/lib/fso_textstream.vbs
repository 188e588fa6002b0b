' TextStream: writing with CR LF, reading lines ended by CR LF or LF, Read/Skip, Line and
' Column, appending, and end-of-file errors.
Set fso = CreateObject("Scripting.FileSystemObject")
base = fso.BuildPath(fso.GetSpecialFolder(2).Path, "twlib_" & fso.GetTempName)
fso.CreateFolder base
p = fso.BuildPath(base, "t.txt")
Set ts = fso.CreateTextFile(p)
ts.WriteLine "one"
ts.Write "two" & vbLf & "thr"
ts.WriteBlankLines 1
WScript.Echo TypeName(ts), ts.Line, ts.Column
ts.Close
WScript.Echo fso.GetFile(p).Size
Set ts = fso.OpenTextFile(p, 1)
WScript.Echo ts.AtEndOfStream, ts.ReadLine, ts.Line, ts.Read(2), ts.Column, ts.AtEndOfLine
ts.SkipLine
WScript.Echo ts.ReadLine, ts.AtEndOfStream
ts.Close
Set ts = fso.OpenTextFile(p, 8)
ts.Write "four"
ts.Close
Set ts = fso.OpenTextFile(p)
all = ts.ReadAll
WScript.Echo Len(all), Replace(Replace(all, vbCr, "<CR>"), vbLf, "<LF>")
ts.Close
Set ts = fso.OpenTextFile(p, 2)
ts.Write "x"
ts.Close
WScript.Echo fso.OpenTextFile(p).ReadAll
' Bytes 128-255 survive a round trip unchanged.
s = ""
For i = 1 To 255
  s = s & Chr(i)
Next
Set ts = fso.CreateTextFile(p, True)
ts.Write s
ts.Close
WScript.Echo fso.OpenTextFile(p).ReadAll = s, fso.GetFile(p).Size
Set ts = fso.OpenTextFile(fso.BuildPath(base, "new.txt"), 2, True)
ts.Close
Set ts = fso.OpenTextFile(fso.BuildPath(base, "new.txt"))
WScript.Echo ts.AtEndOfStream
On Error Resume Next
x = ts.ReadLine
WScript.Echo Err.Number, Err.Description
Err.Clear
x = ts.ReadAll
WScript.Echo Err.Number
Err.Clear
ts.Write "no"
WScript.Echo Err.Number
Err.Clear
Set ts = fso.OpenTextFile(fso.BuildPath(base, "missing.txt"))
WScript.Echo Err.Number, Err.Description
Err.Clear
Set ts = fso.OpenTextFile(fso.BuildPath(base, "nodir/x.txt"), 2, True)
WScript.Echo Err.Number, Err.Description
Err.Clear
Set ts = fso.CreateTextFile(p, False)
WScript.Echo Err.Number, Err.Description
On Error GoTo 0
fso.DeleteFolder base
WScript.Echo fso.FolderExists(base)
' expect: TextStream 4 1
' expect: 14
' expect: False one 2 tw 3 False
' expect: thr True
' expect: 18 one<CR><LF>two<LF>thr<CR><LF>four
' expect: x
' expect: True 255
' expect: True
' expect: 62 Input past end of file
' expect: 62
' expect: 54
' expect: 53 File not found
' expect: 76 Path not found
' expect: 58 File already exists
' expect: False
