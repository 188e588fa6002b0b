' File.OpenAsTextStream, read-only files and the force flag, Unicode text files, Folder
' Copy/Move, CopyFolder with wildcards and into an existing folder.
Set fso = CreateObject("Scripting.FileSystemObject")
base = fso.BuildPath(fso.GetSpecialFolder(2).Path, "twlib_" & fso.GetTempName)
fso.CreateFolder base
Set f = fso.GetFolder(base).CreateTextFile("u.txt", True, True)
f.Write "A" & ChrW(8364) & vbCrLf & "B"
f.Close
Set fi = fso.GetFile(base & "/u.txt")
WScript.Echo fi.Size
Set ts = fi.OpenAsTextStream(1, -1)
WScript.Echo AscW(Mid(ts.ReadLine, 2, 1)), ts.ReadLine, ts.AtEndOfStream
ts.Close
Set ts = fso.OpenTextFile(base & "/u.txt", 1, False, -2)
WScript.Echo Len(ts.ReadAll)
ts.Close
Set ts = fso.OpenTextFile(base & "/u.txt", 8, False, -2)
ts.Write "C"
ts.Close
WScript.Echo fi.Size
fi.Attributes = 1
WScript.Echo fi.Attributes And 1
On Error Resume Next
fso.DeleteFile base & "/u.txt"
WScript.Echo Err.Number
Err.Clear
On Error GoTo 0
fso.DeleteFile base & "/u.txt", True
WScript.Echo fso.FileExists(base & "/u.txt")
fso.CreateFolder base & "/d1"
fso.CreateFolder base & "/d1/sub"
fso.CreateTextFile(base & "/d1/sub/x.txt").Write "xyz"
fso.CreateFolder base & "/d2"
fso.CreateFolder base & "/target"
fso.CopyFolder base & "/d*", base & "/target/"
WScript.Echo fso.GetFolder(base & "/target").SubFolders.Count, fso.FileExists(base & "/target/d1/sub/x.txt")
Set d1 = fso.GetFolder(base & "/d1")
d1.Copy base & "/d1copy"
d1.Move base & "/target/d1moved"
WScript.Echo fso.FolderExists(base & "/d1"), d1.Name, d1.Size, fso.GetFolder(base & "/d1copy").SubFolders("sub").Files.Count
On Error Resume Next
fso.CopyFolder base & "/nothing*", base & "/target/"
WScript.Echo Err.Number
Err.Clear
fso.MoveFolder base & "/d2", base & "/target"
WScript.Echo Err.Number
Err.Clear
fso.CopyFile base & "/d1copy/sub/x.txt", base & "/nodir/"
WScript.Echo Err.Number
Err.Clear
On Error GoTo 0
fso.DeleteFolder base
WScript.Echo fso.FolderExists(base)
' expect: 12
' expect: 8364 B True
' expect: 5
' expect: 14
' expect: 1
' expect: 70
' expect: False
' expect: 2 True
' expect: False d1moved 3 1
' expect: 76
' expect: 58
' expect: 76
' expect: False
