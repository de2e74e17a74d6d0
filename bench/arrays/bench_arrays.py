"""The batch functions of Hexad and Ennead and the value types' buffers
against numpy doing the same work, timed side by side in one run (Python 3
with numpy; under Python 2.7, which has no numpy here, it says so and
stops).

For each size (1e3, 1e5, 1e6 rows) each pair of statements is timed in
alternation ROUNDS times and the medians are compared. Goals: batch
EffectiveStress at least 2 times faster than numpy's vectorised von Mises
formula (ratio <= 0.5), batch PrincipalValues at least 5 times faster than
numpy.linalg.eigh (ratio <= 0.2), the batch Ennead product at least as fast
as numpy.matmul (ratio <= 1); numpy.asarray(v) at most 2 times numpy.asarray
of a memoryview of 3 doubles; two threads running large batches at most
0.6 times one thread running both (2 cores).
Run with PYTHONPATH set to the build's lib3/ folder.
"""
from __future__ import print_function

import os
import sys
import threading
import time
import timeit

try:
    import numpy
except ImportError:
    numpy = None

ROUNDS = 7
SIZES = [1000, 100000, 1000000]


def middle(samples):
    return sorted(samples)[len(samples) // 2]


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def side_by_side(ours, anchor, rounds):
    a, b = [], []
    for _ in range(rounds):
        a.append(timed(ours))
        b.append(timed(anchor))
    return middle(a), middle(b)


def von_mises(a):
    xx, yy, zz, xy, yz, zx = a.T
    return numpy.sqrt(0.5 * ((xx - yy) ** 2 + (yy - zz) ** 2 + (zz - xx) ** 2
                             + 6.0 * (xy ** 2 + yz ** 2 + zx ** 2)))


def full_matrices(a):
    return a[:, [0, 3, 5, 3, 1, 4, 5, 4, 2]].reshape(-1, 3, 3)


def report(name, n, ours, anchor, goal):
    ratio = ours / anchor
    verdict = "<=%.2f %s" % (goal, "ok" if ratio <= goal else "MISSED")
    print("%-34s %8d %11.3f %11.3f %7.3f  %s" % (name, n, ours * 1e3, anchor * 1e3, ratio,
                                                verdict))


def batches():
    import Hexad
    import Ennead
    rng = numpy.random.default_rng(20)
    print("%-34s %8s %11s %11s %7s  %s" % ("ours against numpy", "rows", "ours ms", "numpy ms",
                                           "ratio", "goal"))
    for n in SIZES:
        rounds = ROUNDS if n < 1000000 else 5
        columns = rng.uniform(-100.0, 100.0, (n, 6))
        full = full_matrices(columns)
        a = rng.uniform(-1.0, 1.0, (n, 3, 3))
        b = rng.uniform(-1.0, 1.0, (n, 3, 3))
        out = numpy.empty((n, 3, 3))
        ours, anchor = side_by_side(lambda: Hexad.EffectiveStressMany(columns),
                                    lambda: von_mises(columns), rounds)
        report("EffectiveStressMany / von Mises", n, ours, anchor, 0.5)
        ours, anchor = side_by_side(lambda: Hexad.PrincipalValuesMany(columns),
                                    lambda: numpy.linalg.eigh(full), rounds)
        report("PrincipalValuesMany / eigh", n, ours, anchor, 0.2)
        ours, anchor = side_by_side(lambda: Ennead.ProductMany(a, b),
                                    lambda: numpy.matmul(a, b), rounds)
        report("ProductMany / matmul", n, ours, anchor, 1.0)
        ours, anchor = side_by_side(lambda: Ennead.ProductMany(a, b, out=out),
                                    lambda: numpy.matmul(a, b, out=out), rounds)
        report("ProductMany / matmul, out=", n, ours, anchor, 1.0)


def views():
    import array
    from Triad import Triad
    from Ennead import Ennead
    setup = {"numpy": numpy, "v": Triad(1.0, 2.0, 3.0),
             "e": Ennead(*range(9)),
             "m": memoryview(array.array('d', [1.0, 2.0, 3.0]))}
    calls = 200000
    pairs = [("numpy.asarray(v)", "numpy.asarray(m)"), ("numpy.asarray(e)", "numpy.asarray(m)")]
    times = {}
    for _ in range(ROUNDS):
        for stmt in ["pass"] + [s for pair in pairs for s in pair]:
            t = timeit.Timer(stmt, globals=setup).timeit(calls) / calls * 1e9
            times.setdefault(stmt, []).append(t)
    loop = middle(times["pass"])
    for ours, anchor in pairs:
        a = middle(times[ours]) - loop
        b = middle(times[anchor]) - loop
        print("%-34s %8.1f ns %8.1f ns %7.3f  <=2.00 %s" % (
            ours + " / " + anchor, a, b, a / b, "ok" if a / b <= 2.0 else "MISSED"))


def threads():
    import Hexad
    rng = numpy.random.default_rng(21)
    n = 400000
    first = rng.uniform(-100.0, 100.0, (n, 6))
    second = rng.uniform(-100.0, 100.0, (n, 6))

    def both_in_one():
        Hexad.PrincipalValuesMany(first)
        Hexad.PrincipalValuesMany(second)

    def two_threads():
        workers = [threading.Thread(target=Hexad.PrincipalValuesMany, args=(rows,))
                   for rows in (first, second)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
    two, one = side_by_side(two_threads, both_in_one, ROUNDS)
    print("%-34s %8d %11.3f %11.3f %7.3f  <=0.60 %s" % (
        "2 threads / 1 thread, PrincipalValuesMany", n, two * 1e3, one * 1e3, two / one,
        "ok" if two / one <= 0.6 else "MISSED"))


def run():
    if numpy is None:
        print("numpy is not installed for Python %d.%d: the array benchmarks need it"
              % sys.version_info[:2])
        return
    print("load average: %.2f %.2f %.2f" % os.getloadavg())
    batches()
    views()
    threads()


if __name__ == "__main__":
    run()
