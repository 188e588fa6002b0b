' "&h" before a letter that is no hex digit is the operator and a name.
Dim hx
hx = "b"
WScript.Echo "a" &hx, &h1F, &HFF&
' expect: ab 31 255
