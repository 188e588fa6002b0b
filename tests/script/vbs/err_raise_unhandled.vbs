WScript.Echo "start"
Err.Raise 5
' expect: start
' expect error 5 line 2
