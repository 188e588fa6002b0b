For Each x Array(1)
Next
' expect error 1046 line 1
