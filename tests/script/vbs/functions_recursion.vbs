Function Fact(n)
  If n <= 1 Then
    Fact = 1
  Else
    Fact = n * Fact(n - 1)
  End If
End Function
WScript.Echo Fact(10), Fact(20)
Function NoResult()
End Function
WScript.Echo IsEmpty(NoResult())
Function Early(x)
  Early = "first"
  If x Then Exit Function
  Early = "second"
End Function
WScript.Echo Early(True), Early(False)
' expect: 3628800 2.43290200817664E+18
' expect: True
' expect: first second
