' Copy, move and delete with wildcards and the overwrite flag; File and Folder objects and
' their collections.
Set fso = CreateObject("Scripting.FileSystemObject")
base = fso.BuildPath(fso.GetSpecialFolder(2).Path, "twlib_" & fso.GetTempName)
Set root = fso.CreateFolder(base)
fso.CreateFolder base & "/in"
fso.CreateFolder base & "/out"
Sub MakeFile(name, text)
  Set t = fso.CreateTextFile(base & "/" & name)
  t.Write text
  t.Close
End Sub
MakeFile "in/a.csv", "1,2"
MakeFile "in/b.CSV", "3"
MakeFile "in/c.txt", "hello"
WScript.Echo TypeName(root), root.Name = fso.GetFileName(base), root.Files.Count, root.SubFolders.Count
fso.CopyFile base & "/in/*.csv", base & "/out/"
WScript.Echo fso.GetFolder(base & "/out").Files.Count, fso.FileExists(base & "/out/b.CSV")
fso.CopyFile base & "/in/c.txt", base & "/out/renamed.txt"
Set f = fso.GetFile(base & "/out/renamed.txt")
WScript.Echo TypeName(f), f.Name, f.Size, f.ParentFolder.Name, f.Path = base & "/out/renamed.txt", f.Attributes And 32
WScript.Echo f.Type, f.DateLastModified <= Now + 1, f.DateCreated > #1/1/2000#
On Error Resume Next
fso.CopyFile base & "/in/c.txt", base & "/out/renamed.txt", False
WScript.Echo Err.Number
Err.Clear
fso.CopyFile base & "/in/*.zip", base & "/out/"
WScript.Echo Err.Number
Err.Clear
fso.MoveFile base & "/in/c.txt", base & "/out/renamed.txt"
WScript.Echo Err.Number
Err.Clear
fso.CopyFile base & "/in/c.txt", base & "/out"
WScript.Echo Err.Number
Err.Clear
fso.CreateFolder base & "/in"
WScript.Echo Err.Number
Err.Clear
fso.GetFolder base & "/nothere"
WScript.Echo Err.Number
Err.Clear
fso.GetFile base & "/nothere.txt"
WScript.Echo Err.Number
Err.Clear
fso.DeleteFile base & "/in/*.none"
WScript.Echo Err.Number
Err.Clear
On Error GoTo 0
fso.CopyFile base & "/in/c.txt", base & "/out/renamed.txt", True
fso.MoveFile base & "/in/*.txt", base & "/out/"
WScript.Echo fso.GetFolder(base & "/in").Files.Count, fso.GetFolder(base & "/out").Files.Count
names = ""
For Each x In fso.GetFolder(base & "/out").Files
  names = names & x.Name & " "
Next
WScript.Echo names
WScript.Echo fso.GetFolder(base & "/out").Files("c.txt").Size, fso.GetFolder(base).SubFolders("out").Name
fso.DeleteFile base & "/out/*.csv"
WScript.Echo fso.GetFolder(base & "/out").Files.Count
f.Name = "again.txt"
WScript.Echo fso.FileExists(base & "/out/again.txt"), f.Name
f.Copy base & "/in/"
f.Move base & "/in/moved.txt"
WScript.Echo fso.FileExists(base & "/in/again.txt"), fso.FileExists(base & "/in/moved.txt"), f.Path = base & "/in/moved.txt"
fso.CopyFolder base & "/in", base & "/copy"
WScript.Echo fso.GetFolder(base & "/copy").Files.Count, fso.GetFolder(base & "/copy").Size
fso.MoveFolder base & "/copy", base & "/out/"
WScript.Echo fso.FolderExists(base & "/copy"), fso.FolderExists(base & "/out/copy")
Set sub1 = fso.GetFolder(base).SubFolders.Add("made")
Set t = sub1.CreateTextFile("inside.txt")
t.WriteLine "z"
t.Close
WScript.Echo sub1.Files.Count, sub1.ParentFolder.Path = base, sub1.Size
fso.DeleteFolder base & "/o*"
WScript.Echo fso.FolderExists(base & "/out"), fso.GetFolder(base).SubFolders.Count
fso.GetFolder(base).Delete
WScript.Echo fso.FolderExists(base)
' expect: Folder True 0 2
' expect: 2 True
' expect: File renamed.txt 5 out True 32
' expect: TXT File True True
' expect: 58
' expect: 53
' expect: 58
' expect: 70
' expect: 58
' expect: 76
' expect: 53
' expect: 53
' expect: 2 4
' expect: a.csv b.CSV c.txt renamed.txt 
' expect: 5 out
' expect: 2
' expect: True again.txt
' expect: True True True
' expect: 4 14
' expect: False True
' expect: 1 True 3
' expect: False 2
' expect: False
