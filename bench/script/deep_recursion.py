import sys
sys.setrecursionlimit(10000)
def sum_down(n):
    if n == 0:
        return 0
    return n + sum_down(n - 1)
def tak(x, y, z):
    if y < x:
        return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
    return z
def main():
    t = 0
    for i in range(1, 2501):
        t = t + sum_down(3000)
    print(str(t) + " " + str(tak(24, 16, 8)))
main()
