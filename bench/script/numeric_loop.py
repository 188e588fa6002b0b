def main():
    total = 0
    for i in range(1, 24000001):
        total = total + (i * 3) % 7
    print(total)
main()
