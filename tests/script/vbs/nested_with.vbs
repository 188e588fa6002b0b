Class P
  Public Name, Child
End Class
Set a = New P : a.Name = "outer"
Set a.Child = New P : a.Child.Name = "inner"
With a
  With .Child
    WScript.Echo .Name
  End With
  WScript.Echo .Name
End With
' expect: inner
' expect: outer
