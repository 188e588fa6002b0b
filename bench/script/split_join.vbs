' Splitting CSV-like lines into fields and joining them back with another separator.
Sub Main
  Dim line, parts, i, n, out
  line = "alpha,beta,gamma,delta,epsilon,zeta,eta,theta,iota,kappa,lambda,mu"
  n = 0
  For i = 1 To 1000000
    parts = Split(line, ",")
    n = n + UBound(parts) + 1
    out = Join(parts, ";")
  Next
  WScript.Echo n & " " & Len(out)
End Sub
Main
