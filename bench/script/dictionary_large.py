def main():
    d = {}
    n = 700000
    for i in range(1, n + 1):
        k = "key" + str(i)
        if k in d:
            raise KeyError(k)
        d[k] = i
    hits = 0
    for i in range(1, n * 2 + 1, 2):
        if ("key" + str(i)) in d:
            hits = hits + 1
    for i in range(1, n + 1, 3):
        d["key" + str(i)] = d["key" + str(i)] * 2
    for i in range(2, n + 1, 4):
        del d["key" + str(i)]
    total = 0
    for k in list(d.keys()):
        total = total + d[k]
    print(str(len(d)) + " " + str(hits) + " " + str(total))
main()
