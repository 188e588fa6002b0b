WScript.Echo "abc" = "ABC", "abc" <> "ABC", "a" < "b", "Z" < "a", "10" < "9"
' expect: False True True True True
