WScript.Echo Later(2)
Function Later(n)
  Later = n * 100
End Function
' expect: 200
