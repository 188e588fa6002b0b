Dim i
For i = 1 To 4
  If i = 1 Then
    WScript.Echo "one"
  ElseIf i = 2 Then
    WScript.Echo "two"
  Else
    WScript.Echo "many " & i
  End If
Next
If i > 4 Then WScript.Echo "done" Else WScript.Echo "not"
If False Then WScript.Echo "a" : WScript.Echo "b"
If True Then WScript.Echo "c" : WScript.Echo "d" Else WScript.Echo "e"
' expect: one
' expect: two
' expect: many 3
' expect: many 4
' expect: done
' expect: c
' expect: d
