"""Crack life: GrowCrack's exact mode against the Python loop over
Compute_Crackrate (the anchor) on the example's spectrum with its overload,
identical in every recorded value; the fast mode against the exact mode on
the example's 10-million-cycle life, with the difference in cycles; the
exact mode's native time per cycle in each overload branch; the fast
mode's rate evaluations per 1,000 cycles.

Medians of several repetitions of process CPU time (the machine is
shared), interleaved so that both sides see the same load. Run with
PYTHONPATH set to the build's lib/ folder (lib3/ under Python 3).
"""
from __future__ import print_function

import math
import time

from Crackrate import Crackrate

CPU_TIME = getattr(time, "process_time", None) or time.clock
REPEATS = 5
MATERIAL = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
            10000]
BLOCK = (15.0, 0.1, 1000)
# The example's overload: 1.8 times the block peak at the same minimum.
PEAK, MINIMUM = 15.0 / 0.9 * 1.8, 15.0 / 0.9 * 0.1
OVERLOAD = (PEAK - MINIMUM, MINIMUM / PEAK, 1)
SPECTRUM = [BLOCK, OVERLOAD]
# 50 passes of the spectrum from a = 0.15 in, where the example overloads.
PASSES, INITIAL, FINAL = 50, 0.15, 0.6


def median(xs):
    return sorted(xs)[len(xs) // 2]


def timed(fn):
    start = CPU_TIME()
    result = fn()
    return CPU_TIME() - start, result


def python_loop(spectrum, initial, final, passes, start=0, obj=None):
    """The life as a script writes it: one Compute_Crackrate per cycle,
    a point every 1,000 cycles and at the stop. Returns (history, object)."""
    obj = obj or Crackrate(MATERIAL, 1)
    a, n = initial, start
    history = [(n, a)]
    kc = obj.Kc
    for _ in range(passes):
        for S, R, count in spectrum:
            for _ in range(count):
                dK = S * 1.0 * math.sqrt(math.pi * a)
                if a >= final or dK / (1 - R) >= kc:
                    return history + [(n, a)], obj
                a += obj.Compute_Crackrate(dK, a, n, R)
                n += 1
                if (n - start) % 1000 == 0:
                    history.append((n, a))
    return history + [(n, a)], obj  # the pass limit, where GrowCrack records its stop


def exact_life(spectrum, initial, final, passes, start=0, obj=None):
    obj = obj or Crackrate(MATERIAL, 1)
    life = obj.GrowCrack(spectrum, initial, final, passes=passes, start=start, record=1000)
    history = [(int(c), a) for c, a in life.history.tolist()]
    if history[-1] != (life.cycles, life.length):
        history.append((life.cycles, life.length))
    return history, obj


def example_history(grow):
    """The example's whole life with its overload: blocks to 0.15 in, the
    overload cycle, blocks to 0.6 in, each part continuing the last."""
    first, obj = grow([BLOCK], 0.05, 0.15, 10 ** 6)
    over, obj = grow([OVERLOAD], first[-1][1], 0.6, 1, first[-1][0], obj)
    rest, obj = grow([BLOCK], over[-1][1], 0.6, 10 ** 6, over[-1][0], obj)
    return first + over[1:] + rest[1:]


def long_life(mode):
    return Crackrate(MATERIAL, 1).GrowCrack([BLOCK], 0.05, 0.6, mode=mode)


def branch_cost(branch):
    """Native ns per cycle of the exact mode in one overload branch."""
    obj = Crackrate(MATERIAL, 1)
    cycles = 200000
    if branch == "record":
        spectrum, a = [(15.0, 0.1, cycles)], 0.2
    else:
        # An overload recorded at a = 0.2 holds the cycles after it: a 1.5
        # times peak retards them, a 3.5 times one arrests them.
        factor = 1.5 if branch == "retarded" else 3.5
        dK = 15.0 * factor * math.sqrt(math.pi * 0.2)
        obj.Compute_Crackrate(dK, 0.2, 10 ** 6, 0.1)
        spectrum, a = [(15.0, 0.1, cycles)], 0.2
    state = obj.__reduce__()

    def run():
        fresh = state[0](*state[1])
        return fresh.GrowCrack(spectrum, a, 0.6, passes=1, start=10 ** 6)
    seconds, life = timed(run)
    assert life.cycles - 10 ** 6 == cycles, (branch, life.stop)
    return seconds / cycles * 1e9


def compare(label, anchor, ours, cycles, repeats):
    if anchor() != ours():
        raise SystemExit("%s: exact mode and Python loop differ" % label)
    loop_times, exact_times = [], []
    for _ in range(repeats):
        loop_times.append(timed(anchor)[0])
        exact_times.append(timed(ours)[0])
    print("%s, %d cycles, identical histories" % (label, cycles))
    print("  Python loop over Compute_Crackrate  %8.1f ns/cycle" %
          (median(loop_times) / cycles * 1e9))
    print("  GrowCrack exact                     %8.1f ns/cycle" %
          (median(exact_times) / cycles * 1e9))
    print("  exact is %.1fx faster than the loop (goal 4x)" %
          (median(loop_times) / median(exact_times)))


def main():
    whole = example_history(exact_life)
    compare("Example life with its overload, 0.05 to 0.6 in",
            lambda: example_history(python_loop), lambda: example_history(exact_life),
            whole[-1][0], 3)
    compare("The %d cycles after the overload (retarded)" % (PASSES * (BLOCK[2] + 1)),
            lambda: python_loop(SPECTRUM, INITIAL, FINAL, PASSES)[0],
            lambda: exact_life(SPECTRUM, INITIAL, FINAL, PASSES)[0],
            PASSES * (BLOCK[2] + 1), REPEATS)

    fast_times, slow_times = [], []
    for _ in range(3):
        t, exact = timed(lambda: long_life("exact"))
        slow_times.append(t)
        t, fast = timed(lambda: long_life("fast"))
        fast_times.append(t)
    print("Example life 0.05 to 0.6 in, %d cycles" % exact.cycles)
    print("  exact %.3f s, fast %.5f s: fast is %.0fx faster (goal 100x)" %
          (median(slow_times), median(fast_times), median(slow_times) / median(fast_times)))
    print("  fast life %d cycles, %+d against exact (%.2g%%, goal 0.1%%)" %
          (fast.cycles, fast.cycles - exact.cycles,
           100.0 * (fast.cycles - exact.cycles) / exact.cycles))
    print("  fast mode: %.2f rate evaluations per 1,000 cycles" %
          (1000.0 * fast.evaluations / fast.cycles))
    print("Exact mode per overload branch (native, ns/cycle)")
    for branch in ("record", "retarded", "arrest"):
        print("  %-9s %8.1f" % (branch, median([branch_cost(branch) for _ in range(REPEATS)])))


if __name__ == "__main__":
    main()
