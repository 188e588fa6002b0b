Exit For
' expect error 1039 line 1
