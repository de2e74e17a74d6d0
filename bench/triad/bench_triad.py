"""Per-operation cost of Triad against the built-in complex type doing the
closest operation, side by side in one run. Times are medians of several
repetitions with the cost of the timing loop itself taken off."""
from __future__ import print_function

import sys
import timeit

SETUP = ("from Triad import Triad\n"
         "v = Triad(1.5, 2.5, 3.5); w = Triad(0.5, 1.0, 2.0)\n"
         "c = complex(1.5, 2.5); d = complex(0.5, 1.0)\n")

# (label, Triad statement, complex statement, goal ratio or None)
CASES = [
    ("v + w        | c + d", "v + w", "c + d", 0.75),
    ("v - w        | c - d", "v - w", "c - d", 0.75),
    ("v * 2.0      | c * 2.0", "v * 2.0", "c * 2.0", 0.75),
    ("2 * v        | 2 * c", "2 * v", "2 * c", 0.75),
    ("v * w (dot)  | c * d", "v * w", "c * d", 0.75),
    ("v / 2.0      | c / 2.0", "v / 2.0", "c / 2.0", 0.75),
    ("v += w       | c += d", "v += w", "c += d", 0.75),
    ("v *= 1.0     | c *= 1.0", "v *= 1.0", "c *= 1.0", 0.75),
    ("-v           | -c", "-v", "-c", 0.75),
    ("Triad(1,2,3) | complex(1,2)", "Triad(1, 2, 3)", "complex(1, 2)", 0.75),
    ("v[1]         | c.real", "v[1]", "c.real", None),
    ("v.x()        | c.real", "v.x()", "c.real", None),
]

NUMBER = 1000000
REPEAT = 7


def median(xs):
    xs = sorted(xs)
    return xs[len(xs) // 2]


def per_call(stmt):
    return median(timeit.repeat(stmt, SETUP, repeat=REPEAT, number=NUMBER)) / NUMBER


def main():
    empty = per_call("pass")
    print("Triad against complex: ns per operation (median of %d x %d), loop cost %.1f ns removed"
          % (REPEAT, NUMBER, empty * 1e9))
    print("%-30s %10s %10s %7s %6s" % ("operation", "Triad", "complex", "ratio", "goal"))
    missed = 0
    for label, ours, theirs, goal in CASES:
        a = per_call(ours) - empty
        b = per_call(theirs) - empty
        ratio = a / b
        verdict = ""
        if goal is not None:
            verdict = "<=%.2f %s" % (goal, "ok" if ratio <= goal else "MISSED")
            missed += ratio > goal
        print("%-30s %10.1f %10.1f %7.2f  %s" % (label, a * 1e9, b * 1e9, ratio, verdict))
    return missed


if __name__ == '__main__':
    main()
    sys.exit(0)
