import re


def main():
    rx = re.compile(r"^Order\s+(\d+)\s+from\s+(\w+)$", re.IGNORECASE)
    hits = 0
    total = 0
    for i in range(1, 600001):
        s = "order " + str(i) + " from shop" + str(i % 7)
        if i % 3 == 0:
            s = "Re: " + s
        if rx.search(s):
            hits = hits + 1
            m = rx.search(s)
            total = total + int(m.group(1))
    print(str(hits) + " " + str(total) + " " + re.sub(r"\d", "#", "a1b22c333"))
main()
