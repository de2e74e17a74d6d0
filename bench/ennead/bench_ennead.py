"""Per-call cost of Ennead operations from Python against the built-in
complex type doing the matching operation, timed side by side in one run.

For each pair the statements are timed in alternation, several times, and
the medians are compared after taking off the cost of an empty loop. The
goal for the binary operators is at most 0.8 times the complex time.
Run with PYTHONPATH set to the build's lib/ folder (lib3/ under Python 3).
"""
from __future__ import print_function

import timeit

SETUP = "\n".join([
    "from Ennead import Ennead",
    "t = Ennead(1.5, -2.0, 0.25, 3.0, 1.0, -0.5, 2.0, 0.75, 4.0)",
    "s = Ennead(0.5, 1.0, -1.5, 2.0, -0.25, 1.0, 3.0, 0.5, -2.0)",
    "c = complex(1.5, -2.0)",
    "d = complex(0.5, 1.0)",
])

# (Ennead statement, complex statement, goal ratio or None)
PAIRS = [
    ("t * s", "c * d", 0.8),
    ("t + s", "c + d", 0.8),
    ("t * 2.5", "c * 2.5", 0.8),
    ("t[1:2]", "c.real", None),
    ("t[1, 2]", "c.real", None),
]

ROUNDS = 9
CALLS = 500000


def ns_per_call(stmt):
    return timeit.Timer(stmt, SETUP).timeit(CALLS) / CALLS * 1e9


def middle(samples):
    return sorted(samples)[len(samples) // 2]


def run():
    times = {}
    for _ in range(ROUNDS):
        for stmt in ["pass"] + [s for pair in PAIRS for s in pair[:2]]:
            times.setdefault(stmt, []).append(ns_per_call(stmt))
    loop = middle(times["pass"])
    print("Ennead against complex, ns per call: median of %d rounds of %d calls, "
          "empty loop (%.1f ns) taken off" % (ROUNDS, CALLS, loop))
    print("%-10s %8s   %-8s %8s %7s  %s" % ("Ennead", "ns", "complex", "ns", "ratio", "goal"))
    for ours, anchor, goal in PAIRS:
        a = middle(times[ours]) - loop
        b = middle(times[anchor]) - loop
        verdict = "" if goal is None else "<=%.2f %s" % (goal, "ok" if a / b <= goal else "MISSED")
        print("%-10s %8.1f   %-8s %8.1f %7.2f  %s" % (ours, a, anchor, b, a / b, verdict))


if __name__ == "__main__":
    run()
