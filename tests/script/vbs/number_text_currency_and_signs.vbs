' Number text may carry the currency symbol, a trailing sign or accounting parentheses, each
' once, as the platform's number parser allows (US English locale).
SetLocale 1033
WScript.Echo IsNumeric("$12"), IsNumeric(" $ 1,000.50 "), IsNumeric("-$5"), IsNumeric("12-"), IsNumeric("(12)")
WScript.Echo IsNumeric("(-12)"), IsNumeric("(12"), IsNumeric("$"), IsNumeric("--1"), IsNumeric("1-2"), IsNumeric("$&H10")
WScript.Echo CDbl("$1,000.50"), CDbl("(12)"), CDbl("12-"), CLng("-$5") + 1, "$5" + 1
' expect: True True True True True
' expect: False False False False False False
' expect: 1000.5 -12 -12 -4 6
