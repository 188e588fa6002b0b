' Execute code inside a procedure cannot Dim a name the procedure already has.
Sub S
  Dim a
  Execute "Dim a"
End Sub
S
' expect error 1041 line 4
