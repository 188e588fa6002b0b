x = &HFFFFFFFFF
' expect error 1031 line 1
