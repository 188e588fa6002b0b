' Err.Description is the plain text of the error even where the host's report of the same
' error, left unhandled, names the variable, procedure, member or class it concerns.
Option Explicit
Class Box
  Public Sub Put(v)
  End Sub
End Class
Dim b, x
On Error Resume Next
x = undefinedName
WScript.Echo Err.Number & " [" & Err.Description & "]"
Err.Clear
Set b = New Box
b.Missing
WScript.Echo Err.Number & " [" & Err.Description & "]"
Err.Clear
b.Put
WScript.Echo Err.Number & " [" & Err.Description & "]"
Err.Clear
Set b = New NoSuchClass
WScript.Echo Err.Number & " [" & Err.Description & "]"
Err.Clear
Set b = CreateObject("No.Such.Thing")
WScript.Echo Err.Number & " [" & Err.Description & "]"
Err.Clear
Left
WScript.Echo Err.Number & " [" & Err.Description & "]"
' expect: 500 [Variable is undefined]
' expect: 438 [Object doesn't support this property or method]
' expect: 450 [Wrong number of arguments or invalid property assignment]
' expect: 506 [Class not defined]
' expect: 429 [ActiveX component can't create object]
' expect: 450 [Wrong number of arguments or invalid property assignment]
