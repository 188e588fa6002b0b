' Running out of stack is not lost when every procedure has On Error Resume Next.
Function Down(n)
  On Error Resume Next
  Down = Down(n + 1)
End Function
On Error Resume Next
x = Down(1)
WScript.Echo Err.Number
' expect: 28
