' Names first assigned by Execute inside a procedure are locals of that call; ExecuteGlobal
' still makes globals. Execute code shares the procedure's declared and implicit locals.
Dim shared
shared = "g"
Sub S(arg)
  Dim declared
  implicitOne = 1
  Execute "newVar = arg * 2 : declared = ""d"" : implicitOne = implicitOne + 1 : shared = shared & ""!"""
  WScript.Echo "inside", newVar, declared, implicitOne
  Execute "WScript.Echo ""next execute"", newVar"
  WScript.Echo "eval", Eval("newVar + 1")
End Sub
S 5
S 7
WScript.Echo "outside", IsEmpty(newVar), shared
Sub G
  ExecuteGlobal "globVar = 7"
End Sub
G
WScript.Echo "global", globVar
Function Recurse(n)
  Execute "depth = n"
  If n > 0 Then Recurse n - 1
  Recurse = depth
End Function
WScript.Echo "each call its own", Recurse(3)
' expect: inside 10 d 2
' expect: next execute 10
' expect: eval 11
' expect: inside 14 d 2
' expect: next execute 14
' expect: eval 15
' expect: outside True g!!
' expect: global 7
' expect: each call its own 3
