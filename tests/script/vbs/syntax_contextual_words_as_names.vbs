' Step, Property, Error, Explicit and Preserve are names outside the places they mean something.
Dim step, property, error, explicit, preserve, i
step = 2
property = "p"
error = "e"
explicit = 1
preserve = 3
For i = 1 To 5 Step step
  WScript.Echo i
Next
For i = step To step + 1
Next
WScript.Echo property & error & explicit & preserve, i
' expect: 1
' expect: 3
' expect: 5
' expect: pe13 4
