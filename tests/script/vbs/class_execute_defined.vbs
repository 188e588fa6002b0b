ExecuteGlobal "Class Dyn" & Chr(10) & "Public X" & Chr(10) & "End Class"
Set d = New Dyn
d.X = "made"
WScript.Echo d.X
' expect: made
