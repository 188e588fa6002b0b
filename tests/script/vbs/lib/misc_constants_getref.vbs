' Named constants, GetRef, the engine identity functions, locale id, CreateObject names.
WScript.Echo Len(vbCrLf), Asc(vbCr), Asc(vbLf), Asc(vbTab), Len(vbNullString), Asc(vbNullChar), vbNewLine = vbCrLf
WScript.Echo vbBinaryCompare, vbTextCompare, vbSunday, vbSaturday, vbUseSystemDayOfWeek, vbFirstFourDays
WScript.Echo vbGeneralDate, vbLongDate, vbShortDate, vbLongTime, vbShortTime, vbUseDefault, vbTrue, vbFalse
WScript.Echo vbEmpty, vbNull, vbInteger, vbLong, vbDouble, vbDate, vbString, vbObject, vbBoolean, vbVariant, vbByte, vbArray
WScript.Echo vbOKOnly, vbOKCancel, vbYesNo, vbCritical, vbQuestion, vbExclamation, vbInformation, vbOK, vbCancel, vbYes, vbNo
WScript.Echo vbObjectError, TypeName(vbObjectError), vbWhite, TypeName(vbWhite), TypeName(vbYes), VarType("x") = vbString
Dim vbTab2
Const vbMine = 5
WScript.Echo vbMine
Function Twice(x)
  Twice = x * 2
End Function
Sub Shout(s)
  WScript.Echo UCase(s)
End Sub
Set f = GetRef("Twice")
WScript.Echo f(21), TypeName(f)
Set g = GetRef("shout")
g "hi"
WScript.Echo ScriptEngine, ScriptEngineMajorVersion, ScriptEngineMinorVersion, ScriptEngineBuildVersion > 0
WScript.Echo GetLocale, SetLocale(1033), GetLocale
WScript.Echo TypeName(CreateObject("Scripting.Dictionary")), TypeName(CreateObject("scripting.filesystemobject")), TypeName(CreateObject("WScript.Shell"))
On Error Resume Next
Set f = GetRef("NoSuchProc")
WScript.Echo Err.Number
Err.Clear
Set o = CreateObject("Excel.Application")
WScript.Echo Err.Number
Err.Clear
x = MsgBox("hello")
WScript.Echo Err.Number
' expect: 2 13 10 9 0 0 True
' expect: 0 1 1 7 0 2
' expect: 0 1 2 3 4 -2 -1 0
' expect: 0 1 2 3 5 7 8 9 11 12 17 8192
' expect: 0 1 4 16 32 48 64 1 2 6 7
' expect: -2147221504 Long 16777215 Long Integer True
' expect: 5
' expect: 42 Object
' expect: HI
' expect: VBScript 5 8 True
' expect: 1033 1033 1033
' expect: Dictionary FileSystemObject IWshShell3
' expect: 5
' expect: 429
' expect: 0
