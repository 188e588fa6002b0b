Dim n
n = 0
Do While n < 3 : n = n + 1 : Loop
WScript.Echo n
Do Until n = 0 : n = n - 1 : Loop
WScript.Echo n
Do : n = n + 1 : Loop While n < 5
WScript.Echo n
Do : n = n + 1 : Loop Until n >= 5
WScript.Echo n
Do
  n = n + 1
  If n = 9 Then Exit Do
Loop
WScript.Echo n
While n > 0 : n = n - 2 : Wend
WScript.Echo n
' expect: 3
' expect: 0
' expect: 5
' expect: 6
' expect: 9
' expect: -1
