' FileSystemObject name functions work on text alone; backslashes count as separators.
Set fso = CreateObject("Scripting.FileSystemObject")
WScript.Echo TypeName(fso), fso.BuildPath("/a/b", "c.txt"), fso.BuildPath("/a/b/", "c.txt"), fso.BuildPath("", "c")
WScript.Echo fso.GetFileName("/x/y/report.tar.gz"), fso.GetBaseName("/x/y/report.tar.gz"), fso.GetExtensionName("/x/y/report.tar.gz")
WScript.Echo "[" & fso.GetExtensionName("/x/noext") & "]", fso.GetBaseName("noext"), fso.GetFileName("/x/dir/")
WScript.Echo fso.GetParentFolderName("/x/y/z.txt"), fso.GetParentFolderName("/x"), "[" & fso.GetParentFolderName("z.txt") & "]"
WScript.Echo fso.GetFileName("in\sub\name.csv"), fso.GetParentFolderName("in\sub\name.csv"), fso.BuildPath("in\sub", "f")
WScript.Echo fso.GetAbsolutePathName("/a/./b/../c"), Left(fso.GetTempName, 3), Right(fso.GetTempName, 4), Len(fso.GetTempName)
WScript.Echo fso.FileExists("/no/such/file"), fso.FolderExists("/"), fso.GetFolder("/").IsRootFolder
' expect: FileSystemObject /a/b/c.txt /a/b/c.txt c
' expect: report.tar.gz report.tar gz
' expect: [] noext dir
' expect: /x/y / []
' expect: name.csv in/sub in/sub/f
' expect: /a/c rad .tmp 12
' expect: False True True
