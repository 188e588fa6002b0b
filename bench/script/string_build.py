def main():
    s = ""
    for i in range(1, 300001):
        s += "ab" + str(i % 10)
    print(len(s))
main()
