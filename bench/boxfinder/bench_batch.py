"""Per-point cost of Boxfinder's batch point query from Python 3, side by
side in one run with a Python loop over PtQuery and with the rtree
package's intersection query over the same boxes (a benchmark-only
dependency), medians of several repetitions; the hits are checked equal."""
from __future__ import print_function

import random
import sys
import timeit

import Boxfinder


def median(times):
    times = sorted(times)
    return times[len(times) // 2]


def main(reps=5, boxes=200000, points=100000):
    rng = random.Random(3)
    edge = (1.0 / boxes) ** (1.0 / 3) * 2
    lower = [(rng.random(), rng.random(), rng.random()) for _ in range(boxes)]
    upper = [(x + edge, y + edge, z + edge) for x, y, z in lower]
    tree = Boxfinder.Boxfinder(lower, upper, range(boxes))
    query = [(rng.random(), rng.random(), rng.random()) for _ in range(points)]
    try:
        import numpy
        batch = numpy.array(query)
    except ImportError:
        batch = query
    print('%d boxes, %d points, medians of %d repetitions' % (boxes, points, reps))
    costs = {}
    many = tree.PtQueryMany(batch)
    hits = len(many[1])
    costs['PtQueryMany'] = median(timeit.repeat(lambda: tree.PtQueryMany(batch), number=1,
                                                repeat=reps)) / points
    loop_hits = sum(len(tree.PtQuery(p)) for p in query)
    costs['PtQuery loop'] = median(timeit.repeat(lambda: [tree.PtQuery(p) for p in query],
                                                 number=1, repeat=reps)) / points
    try:
        from rtree import index
    except ImportError:
        index = None
    if index is not None:
        stream = ((i, lower[i] + upper[i], None) for i in range(boxes))
        prop = index.Property()
        prop.dimension = 3
        rt = index.Index(stream, properties=prop)
        rtree_hits = sum(len(list(rt.intersection(p + p))) for p in query)
        costs['rtree loop'] = median(timeit.repeat(
            lambda: [list(rt.intersection(p + p)) for p in query], number=1,
            repeat=reps)) / points
        if rtree_hits != hits:
            print('  !! rtree hits differ: %d vs %d' % (rtree_hits, hits))
    if loop_hits != hits:
        print('  !! loop hits differ: %d vs %d' % (loop_hits, hits))
    for name in sorted(costs):
        print('  %-14s %9.3f us per point' % (name, costs[name] * 1e6))
    base = costs['PtQueryMany']
    for name in sorted(costs):
        if name != 'PtQueryMany':
            print('  ratio %s / PtQueryMany: %.2f' % (name, costs[name] / base))


if __name__ == '__main__':
    main(*[int(a) for a in sys.argv[1:]])
