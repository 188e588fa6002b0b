WScript.Echo "a"
NoSuchThing 1, 2
' expect: a
' expect error 13 line 2
