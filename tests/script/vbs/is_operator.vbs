Class K : End Class
Dim a, b
Set a = New K
Set b = New K
WScript.Echo a Is b, a Is a, Nothing Is Nothing
x = 1 Is 2
' expect: False True True
' expect error 424 line 6
