Class K
  Public X
' expect error 1047 line 3
