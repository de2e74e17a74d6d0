"""Per-call cost of Hexad operations from Python, with complex arithmetic
timed in the same run as the anchor for the binary operators.

Prints the median of several repetitions in nanoseconds per call and, for
the binary operators, the ratio to the matching complex operation.
Run with PYTHONPATH set to the build's lib/ folder (lib3/ under Python 3).
"""
from __future__ import print_function

import random
import sys
import timeit

REPEATS = 9
NUMBER = 200000

SETUP = """
import random
from Hexad import Hexad
rnd = random.Random(1)
def r():
    return rnd.uniform(-100.0, 100.0)
t = Hexad(r(), r(), r(), r(), r(), r())
s = Hexad(r(), r(), r(), r(), r(), r())
c = complex(r(), r())
d = complex(r(), r())
"""


def median(xs):
    xs = sorted(xs)
    return xs[len(xs) // 2]


def per_call(stmt, number):
    timer = timeit.Timer(stmt, SETUP)
    return timer.timeit(number) / number * 1e9


def main():
    cases = [
        ("t * s", "c * d", NUMBER),
        ("t + s", "c + d", NUMBER),
        ("t * 2.5", "c * 2.5", NUMBER),
        ("t.EffectiveStress()", None, NUMBER),
        ("t.PrincipalValues()", None, NUMBER // 10),
    ]
    samples = dict((stmt, []) for case in cases for stmt in case[:2] if stmt)
    baseline = []
    # Interleave the measured statements and their anchors so that both
    # see the same machine load; subtract the empty loop.
    for _ in range(REPEATS):
        baseline.append(per_call("pass", NUMBER))
        for stmt, anchor, number in cases:
            samples[stmt].append(per_call(stmt, number))
            if anchor:
                samples[anchor].append(per_call(anchor, number))
    empty = median(baseline)
    print("Hexad from Python: median of %d repetitions, ns per call "
          "(empty loop %.1f ns subtracted)" % (REPEATS, empty))
    print("%-22s %10s %-10s %10s %7s" % ("operation", "Hexad", "anchor", "anchor ns", "ratio"))
    for stmt, anchor, number in cases:
        ours = median(samples[stmt]) - empty
        if anchor:
            theirs = median(samples[anchor]) - empty
            print("%-22s %10.1f %-10s %10.1f %7.2f" % (stmt, ours, anchor, theirs,
                                                         ours / theirs))
        else:
            print("%-22s %10.1f" % (stmt, ours))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
