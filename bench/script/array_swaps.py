def main():
    n = 5500
    a = [None] * n
    seed = 12345
    for i in range(0, n):
        seed = (seed * 1103 + 12345) % 65536
        a[i] = seed
    swaps = 0
    for i in range(0, n - 1):
        for j in range(0, n - 1 - i):
            if a[j] > a[j + 1]:
                t = a[j]
                a[j] = a[j + 1]
                a[j + 1] = t
                swaps = swaps + 1
    for i in range(0, n // 2):
        t = a[i]
        a[i] = a[n - 1 - i]
        a[n - 1 - i] = t
    print(str(swaps) + " " + str(a[0]) + " " + str(a[n - 1]))
main()
