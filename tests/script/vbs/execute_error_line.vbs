WScript.Echo "a"
Execute "y = 1" & Chr(13) & Chr(10) & "z = 1 / 0"
' expect: a
' expect error 11 line 2
