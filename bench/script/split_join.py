def main():
    line = "alpha,beta,gamma,delta,epsilon,zeta,eta,theta,iota,kappa,lambda,mu"
    n = 0
    out = ""
    for i in range(1, 1000001):
        parts = line.split(",")
        n = n + len(parts)
        out = ";".join(parts)
    print(str(n) + " " + str(len(out)))
main()
