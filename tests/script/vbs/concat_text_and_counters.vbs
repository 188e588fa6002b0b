' Joining text with whole numbers, on either side and of either sign, gives their plain digits.
Dim i, k, s
i = -32768
k = 2147483647
s = "key"
WScript.Echo "key" & i & "|" & k & s & "|" & (i & s) & "|" & (7 & 8)
WScript.Echo s & CInt(0) & s
' expect: key-32768|2147483647key|-32768key|78
' expect: key0key
