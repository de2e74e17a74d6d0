"""Per-call cost of Boxfinder.PtQuery from Python, with the point given as a
Triad and as a tuple (medians of several repetitions)."""
from __future__ import print_function

import random
import timeit

import Triad
import Boxfinder


def main(reps=7, calls=200000):
    rng = random.Random(3)
    n = 10000
    edge = (1.0 / n) ** (1.0 / 3)
    lower = [(rng.random(), rng.random(), rng.random()) for _ in range(n)]
    upper = [(x + edge, y + edge, z + edge) for x, y, z in lower]
    tree = Boxfinder.Boxfinder(lower, upper, range(n))
    as_triad = Triad.Triad(0.5, 0.5, 0.5)
    as_tuple = (0.5, 0.5, 0.5)
    print('PtQuery on %d boxes, medians of %d repetitions of %d calls' % (n, reps, calls))
    results = {}
    for name, point in (('Triad', as_triad), ('tuple', as_tuple)):
        times = sorted(timeit.repeat(lambda: tree.PtQuery(point), number=calls, repeat=reps))
        results[name] = times[len(times) // 2] / calls
        print('  point as %-6s %8.3f us per call' % (name, results[name] * 1e6))
    print('  ratio Triad / tuple: %.3f' % (results['Triad'] / results['tuple']))


if __name__ == '__main__':
    main()
