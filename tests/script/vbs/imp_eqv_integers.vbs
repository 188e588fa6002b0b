WScript.Echo 5 Imp 3, 5 Eqv 3, True Imp Null, IsNull(Null Eqv True), False Imp Null
' expect: -5 -7 Null True True
