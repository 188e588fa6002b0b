def main():
    n = 700000
    words = [None] * n
    for i in range(0, n):
        words[i] = "item" + str(i * 7 % 1000) + "x"
    text = ",".join(words)
    for p in range(1, 7):
        parts = text.split(",")
        hits = 0
        total = 0
        for i in range(0, len(parts)):
            if parts[i].find("77") >= 0:
                hits = hits + 1
            total = total + len(parts[i])
    found = 0
    pos = text.find("item999x")
    while pos >= 0:
        found = found + 1
        pos = text.find("item999x", pos + 1)
    text = text.replace("item", "it")
    print(str(hits) + " " + str(total) + " " + str(found) + " " + str(len(text)) + " " + str(len(text.split("9x,")) - 1))
main()
