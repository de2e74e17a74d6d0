"""Per-call cost of Crackrate's rate branches from Python, side by side in
one run with the plain-Python transcription of the same formulas
(crackrate_transcription.py), which must give the same values.

Prints the median of several repetitions in nanoseconds of process CPU time
per call (the empty loop subtracted; CPU time rather than wall time, as the
machine is shared) and how many times faster the module is than the
transcription. Run with PYTHONPATH set to the build's lib/ folder (lib3/ under Python 3).
"""
from __future__ import print_function

import os
import sys
import time
import timeit

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

# Process CPU time: time.clock under Python 2.7, its successor under Python 3.
CPU_TIME = getattr(time, "process_time", None) or time.clock
REPEATS = 7
NUMBER = 20000

SETUP = """
from Crackrate import Crackrate
from crackrate_transcription import PyCrackrate
constants = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
             10000]
ours, theirs = Crackrate(constants, 1), PyCrackrate(constants, 1)
# The retarded histories: an overload of Kmax 30 recorded at a = 0.5.
ours_held, theirs_held = Crackrate(constants, 1), PyCrackrate(constants, 1)
ours_held.Compute_Crackrate(30, 0.5, 1000000, 0.0)
theirs_held.Compute_Crackrate(30, 0.5, 1000000, 0.0)
"""

# (branch, call on the object, object name without its side prefix).
CASES = [
    ("Calc_Crackrate plain curve", "Calc_Crackrate(10, 0.5, 1000000)", ""),
    ("Calc_Crackrate near 0.7 (tangent)", "Calc_Crackrate(2.0, 0.5, 0)", ""),
    ("Calc_Crackrate below threshold", "Calc_Crackrate(4, 0.5, 1000000)", ""),
    ("Compute_Crackrate record", "Compute_Crackrate(20, 0.5, 1000000, 0.0)", ""),
    ("Compute_Crackrate solver", "Compute_Crackrate(10, 0.5001, 1000000, 0.0)", "_held"),
    ("Compute_Crackrate arrest", "Compute_Crackrate(9, 0.5001, 1000000, 0.0)", "_held"),
    # The cost of calling a method at all: no arguments, nothing computed.
    ("SetKol (call floor)", "SetKol()", ""),
]


def median(xs):
    xs = sorted(xs)
    return xs[len(xs) // 2]


def per_call(stmt, number):
    return timeit.Timer(stmt, SETUP, timer=CPU_TIME).timeit(number) / number * 1e9


def check_values():
    scope = {}
    exec(SETUP, scope)
    for name, call, held in CASES:
        a = eval("ours%s.%s" % (held, call), scope)
        b = eval("theirs%s.%s" % (held, call), scope)
        if a is None and b is None:
            continue
        if abs(a - b) > 1e-12 * abs(b):
            raise SystemExit("%s: module %r, transcription %r" % (name, a, b))
    return scope


def main():
    check_values()
    samples = dict((case[0], ([], [])) for case in CASES)
    baseline = []
    # Module and transcription interleaved so that both see the same load.
    for _ in range(REPEATS):
        baseline.append(per_call("pass", NUMBER))
        for name, call, held in CASES:
            samples[name][0].append(per_call("ours%s.%s" % (held, call), NUMBER))
            samples[name][1].append(per_call("theirs%s.%s" % (held, call), NUMBER // 10))
    empty = median(baseline)
    print("Crackrate from Python: median of %d repetitions, ns CPU per call "
          "(empty loop %.1f ns subtracted); anchor: the plain-Python transcription" % (
              REPEATS, empty))
    print("%-36s %10s %14s %8s" % ("branch", "Crackrate", "transcription", "faster"))
    for name, _, _ in CASES:
        ours = median(samples[name][0]) - empty
        theirs = median(samples[name][1]) - empty
        print("%-36s %10.1f %14.1f %7.1fx" % (name, ours, theirs, theirs / ours))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
