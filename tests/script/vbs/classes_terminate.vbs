Class Noisy
  Public Tag
  Private Sub Class_Terminate
    WScript.Echo "bye " & Tag
  End Sub
End Class
Dim a, b
Set a = New Noisy
a.Tag = "a"
Set b = a
Set a = Nothing
WScript.Echo "still held"
Set b = Nothing
WScript.Echo "released"
Sub Scoped
  Dim t
  Set t = New Noisy
  t.Tag = "local"
End Sub
Scoped
WScript.Echo "end"
' expect: still held
' expect: bye a
' expect: released
' expect: bye local
' expect: end
