Class Counter
  Private count
  Public Name
  Private Sub Class_Initialize
    count = 0
    Name = "unnamed"
  End Sub
  Public Sub Add(n)
    count = count + n
  End Sub
  Public Property Get Total
    Total = count
  End Property
  Public Property Let Total(v)
    count = v
  End Property
  Public Function Twice()
    Twice = Me.Total * 2
  End Function
End Class
Dim c
Set c = New Counter
c.Add 5
c.Add 2
WScript.Echo c.Total, c.Name, c.Twice(), TypeName(c)
c.Total = 10
WScript.Echo c.Total
c.Name = "box"
WScript.Echo c.Name, IsObject(c), c Is c
WScript.Echo c.count
' expect: 7 unnamed 14 Counter
' expect: 10
' expect: box True True
' expect error 438 line 30
