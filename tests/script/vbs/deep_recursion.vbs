Function Down(n)
  Down = Down(n + 1)
End Function
WScript.Echo "go"
x = Down(1)
' expect: go
' expect error 28
