def main():
    d = {}
    for i in range(1, 1800001):
        k = "w" + str(i % 5000)
        if k in d:
            d[k] = d[k] + 1
        else:
            d[k] = 1
    total = 0
    for k in list(d.keys()):
        total = total + d[k]
    print(str(len(d)) + " " + str(total))
main()
