' WScript.Shell: Run through /bin/sh with the wait flag and exit code, Exec with its output
' and exit code, environment strings and variables.
Set sh = CreateObject("WScript.Shell")
WScript.Echo sh.Run("exit 3", 0, True), sh.Run("true", 0, True)
Set ex = sh.Exec("printf 'one\ntwo\n'; echo err 1>&2; exit 4")
out = ex.StdOut.ReadAll
Do While ex.Status = 0
  WScript.Sleep 10
Loop
WScript.Echo Replace(out, vbLf, "|"), ex.ExitCode, ex.Status, Trim(ex.StdErr.ReadLine), TypeName(ex)
Set ex = sh.Exec("printf 'a\nb'")
Do Until ex.StdOut.AtEndOfStream
  WScript.Echo "line:" & ex.StdOut.ReadLine
Loop
sh.Environment("PROCESS")("TW_LIB_TEST") = "value 1"
WScript.Echo sh.Environment("PROCESS")("TW_LIB_TEST"), sh.ExpandEnvironmentStrings("<%TW_LIB_TEST%> %TW_NOT_SET_X% 100%")
WScript.Echo sh.Run("test ""$TW_LIB_TEST"" = ""value 1""", 0, True), "[" & sh.Environment("PROCESS").Item("TW_NOT_SET_X") & "]"
sh.Environment("PROCESS").Remove "TW_LIB_TEST"
WScript.Echo "[" & sh.ExpandEnvironmentStrings("%TW_LIB_TEST%") & "]"
' expect: 3 0
' expect: one|two| 4 1 err IWshExec
' expect: line:a
' expect: line:b
' expect: value 1 <value 1> %TW_NOT_SET_X% 100%
' expect: 0 []
' expect: [%TW_LIB_TEST%]
