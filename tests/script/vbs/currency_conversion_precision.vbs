' Whole numbers near the top of the Currency range convert exactly; one past it overflows.
WScript.Echo CCur(922337203685477), CCur(-922337203685477), CCur(123456789012345) + CCur(1)
On Error Resume Next
x = CCur(922337203685478)
WScript.Echo Err.Number
' expect: 922337203685477 -922337203685477 123456789012346
' expect: 6
