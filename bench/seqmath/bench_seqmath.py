"""Cost of Seqmath.Plus, Star and ScalarMult on lists of floats and of ints,
side by side in one run with the interpreter's own ways of doing the same:
map() over the operator module's function (made a list under Python 3, as
Python 2.7's map() returns one), and a list comprehension over
itertools.izip (zip under Python 3). Each result is checked identical to
the anchors' (values and types) before it is timed. Each repetition times
the three back to back, so that they see the same machine load; times are
medians over the repetitions and ratios medians of the ratios within each
repetition, which the load of a shared machine disturbs least.
"""
from __future__ import print_function

import itertools
import operator
import random
import sys
import timeit

import Seqmath

PY3 = sys.version_info[0] >= 3
ZIP = "zip" if PY3 else "izip"
izip = zip if PY3 else itertools.izip

REPEATS = 9
SIZES = [(10, 50000), (1000, 1000), (1000000, 1)]   # (length, calls per sample)
# Goals against map() at 1,000 and 1,000,000 elements.
GOALS = {1000: 5.0, 1000000: 2.5}


def data(kind, n, rnd):
    if kind == "floats":
        return [rnd.uniform(-1e3, 1e3) for _ in range(n)], [rnd.uniform(-1e3, 1e3)
                                                           for _ in range(n)], 2.5
    return [rnd.randint(-10 ** 6, 10 ** 6) for _ in range(n)], [rnd.randint(-10 ** 6, 10 ** 6)
                                                               for _ in range(n)], 3


def cases(a, b, k):
    repeat = itertools.repeat
    n = len(a)
    add, mul = operator.add, operator.mul
    if PY3:
        mapped = [lambda: list(map(add, a, b)), lambda: list(map(mul, a, b)),
                  lambda: list(map(mul, a, repeat(k, n)))]
    else:
        mapped = [lambda: map(add, a, b), lambda: map(mul, a, b),
                  lambda: map(mul, a, repeat(k, n))]
    return [
        ("Plus", lambda: Seqmath.Plus(a, b), mapped[0], lambda: [x + y for x, y in izip(a, b)]),
        ("Star", lambda: Seqmath.Star(a, b), mapped[1], lambda: [x * y for x, y in izip(a, b)]),
        ("ScalarMult", lambda: Seqmath.ScalarMult(a, k), mapped[2],
         lambda: [x * y for x, y in izip(a, repeat(k))]),
    ]


def same(x, y):
    return x == y and [type(v) for v in x] == [type(v) for v in y]


def median(xs):
    xs = sorted(xs)
    return xs[len(xs) // 2]


def main():
    rnd = random.Random(7)
    print("Seqmath against map(operator.f, a, b) and [x f y for x, y in %s(a, b)]" % ZIP)
    print("ns per element, median of %d; x = median of anchor time / Seqmath time" % REPEATS)
    print("%-11s %-7s %8s %9s %9s %9s %8s %8s  %s" % (
        "function", "items", "length", "Seqmath", "map", ZIP, "x map", "x " + ZIP, "goal"))
    missed = 0
    for kind in ("floats", "ints"):
        for n, number in SIZES:
            a, b, k = data(kind, n, rnd)
            for name, ours, by_map, by_izip in cases(a, b, k):
                want = by_map()
                if not (same(ours(), want) and same(by_izip(), want)):
                    print("%s on %d %s: results differ" % (name, n, kind))
                    return 1
                del want
                samples = []
                for _ in range(REPEATS):
                    samples.append([timeit.Timer(fn).timeit(number) / number / n * 1e9
                                    for fn in (ours, by_map, by_izip)])
                t_ours, t_map, t_izip = [median(column) for column in zip(*samples)]
                x_map = median([s[1] / s[0] for s in samples])
                x_izip = median([s[2] / s[0] for s in samples])
                goal = GOALS.get(n)
                verdict = ""
                if goal is not None:
                    ok = x_map >= goal
                    missed += not ok
                    verdict = ">=%.1f %s" % (goal, "ok" if ok else "MISSED")
                print("%-11s %-7s %8d %9.2f %9.2f %9.2f %8.2f %8.2f  %s" % (
                    name, kind, n, t_ours, t_map, t_izip, x_map, x_izip,
                    verdict))
    return 0


if __name__ == '__main__':
    main()
    sys.exit(0)
