class Vec:
    def __init__(self):
        self.X = None
        self.Y = None
    def plus(self, o):
        r = Vec()
        r.X = self.X + o.X
        r.Y = self.Y + o.Y
        return r
    @property
    def norm1(self):
        return abs(self.X) + abs(self.Y)
class Node:
    def __init__(self):
        self.value = None
        self.next_node = None
class Account:
    def __init__(self):
        self._total = 0
    @property
    def total(self):
        return self._total
    def deposit(self, v):
        self._total = self._total + v
def main():
    v = Vec()
    v.X = 0
    v.Y = 0
    for i in range(1, 1200001):
        w = Vec()
        w.X = i % 7
        w.Y = -(i % 5)
        v = v.plus(w)
    head = None
    for i in range(1, 600001):
        n = Node()
        n.value = i
        n.next_node = head
        head = n
    s = 0
    n = head
    while n is not None:
        s = s + n.value
        n = n.next_node
    acc = Account()
    for i in range(1, 1200001):
        acc.deposit(i % 10)
    print(str(v.X) + " " + str(v.Y) + " " + str(v.norm1) + " " + str(s) + " " + str(acc.total))
main()
