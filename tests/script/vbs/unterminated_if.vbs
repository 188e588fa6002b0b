If True Then
  WScript.Echo "x"
' expect error 1014 line 3
