def main():
    n = 200000
    a = [None] * n
    for i in range(0, n):
        a[i] = (i * 7919) % 1000
    t = 0
    for j in range(1, 121):
        for i in range(0, n):
            t = t + a[i]
    print(t)
main()
