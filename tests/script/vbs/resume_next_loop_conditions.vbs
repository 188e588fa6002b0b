' Under On Error Resume Next a failing Do While/Until or While condition resumes in the body;
' when it fails again on the next turn the loop ends instead of running for ever.
On Error Resume Next
Dim n, o
n = 0
Do While o.Missing
  n = n + 1
Loop
WScript.Echo "do while", n, Err.Number
Err.Clear
n = 0
Do Until o.Missing
  n = n + 1
Loop
WScript.Echo "do until", n, Err.Number
Err.Clear
n = 0
While 1 / 0
  n = n + 1
Wend
WScript.Echo "while", n, Err.Number
' A condition that fails once and then recovers keeps the loop going.
Err.Clear
n = 0
Do While n < 4 + 0 * (1 \ (n - 1))
  n = n + 1
Loop
WScript.Echo "recovers", n
' A failing Loop While/Until condition resumes after the loop.
Err.Clear
n = 0
Do
  n = n + 1
Loop While CInt("x")
WScript.Echo "loop while", n, Err.Number
Err.Clear
n = 0
Do
  n = n + 1
Loop Until o.Missing
WScript.Echo "loop until", n, Err.Number
' expect: do while 1 424
' expect: do until 1 424
' expect: while 1 11
' expect: recovers 4
' expect: loop while 1 13
' expect: loop until 1 424
