' Public fields read and written from outside, with Let, Set, indexes and privacy.
Class Box
  Public Value
  Private hidden
  Public Items(2)
  Public Sub SetHidden(v)
    hidden = v
  End Sub
  Public Function GetHidden()
    GetHidden = hidden
  End Function
End Class
Class Wrap
  Public Default Property Get Inner
    Inner = "inner"
  End Property
End Class
Dim b, w, c
Set b = New Box
b.Value = 5
b.Value = b.Value + 1
WScript.Echo b.Value
Set w = New Wrap
b.Value = w
WScript.Echo b.Value, TypeName(b.Value)
Set b.Value = w
WScript.Echo TypeName(b.Value)
b.Items(1) = "one"
WScript.Echo b.Items(1), UBound(b.Items)
b.SetHidden 7
WScript.Echo b.GetHidden()
On Error Resume Next
Set b.Value = 3
WScript.Echo "set number", Err.Number
Err.Clear
c = b.hidden
WScript.Echo "private", Err.Number
Err.Clear
Set c = Nothing
c.Value = 1
WScript.Echo "nothing", Err.Number
' expect: 6
' expect: inner String
' expect: Wrap
' expect: one 2
' expect: 7
' expect: set number 424
' expect: private 438
' expect: nothing 424
