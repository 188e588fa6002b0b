Class Greeting
  Public Default Function Text(who)
    Text = "hello " & who
  End Function
End Class
Class Wrapper
  Private v
  Public Default Property Get Value
    Value = v
  End Property
  Public Property Let Value(x)
    v = x
  End Property
End Class
Dim g, w
Set g = New Greeting
WScript.Echo g("you")
Set w = New Wrapper
w.Value = 41
WScript.Echo w + 1, "v=" & w
Dim plain
plain = w
WScript.Echo plain, TypeName(plain)
' expect: hello you
' expect: 42 v=41
' expect: 41 Integer
