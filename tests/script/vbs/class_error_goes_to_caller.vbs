Class K
  Sub Fail
    Err.Raise 5000, "K", "class failure"
  End Sub
End Class
Set k = New K
On Error Resume Next
k.Fail
WScript.Echo Err.Number, Err.Source, Err.Description
' expect: 5000 K class failure
