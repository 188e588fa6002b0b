class Counter:
    def __init__(self):
        self.n = 0
    def bump(self, k):
        self.n = self.n + k
    @property
    def value(self):
        return self.n
def main():
    c = Counter()
    for i in range(1, 15000001):
        c.bump(i % 3)
    print(c.value)
main()
