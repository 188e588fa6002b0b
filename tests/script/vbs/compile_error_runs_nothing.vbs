WScript.Echo "never printed"
If x Then
Loop
' expect error 1014 line 3
