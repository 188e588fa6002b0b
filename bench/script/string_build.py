def main():
    s = ""
    for i in range(1, 7000001):
        s += "ab" + str(i % 10)
    print(len(s))
main()
