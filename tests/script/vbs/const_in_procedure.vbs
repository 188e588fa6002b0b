Sub S
  Const Greeting = "hi"
  WScript.Echo Greeting
End Sub
S
' expect: hi
