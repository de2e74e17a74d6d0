"""Pickling a tree of 1e6 boxes against building it: pickle.dumps and
pickle.loads each as a ratio of the build's time (goal at most 0.3), and
the pickle's size as a ratio of the tree's own bytes (goal at most 1.1),
for a tree fresh from its build and for one that has taken a change
(whose exact subtree boxes are then in use and saved). Medians of several
repetitions, all in one run.

    python bench_tree_pickle.py [boxes] [repetitions]
"""
from __future__ import print_function

import pickle
import random
import sys
import time

import Boxfinder

# The tree's own bytes per node (box_tree.h): the 120-byte record the
# queries read, and the 48-byte exact subtree box once in use.
NODE_BYTES = 120
BOUNDS_BYTES = 48
NODES_PER_BLOCK = 1000


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


# The process's processor time, which a loaded machine disturbs less than
# the wall clock (Python 2.7's time.clock is that on Unix).
cpu_clock = getattr(time, 'process_time', None) or time.clock


def timed(fn, reps):
    """(median wall seconds, median processor seconds) of reps calls, and
    the last call's result."""
    walls, cpus, result = [], [], None
    for _ in range(reps):
        start, start_cpu = time.time(), cpu_clock()
        result = fn()
        cpus.append(cpu_clock() - start_cpu)
        walls.append(time.time() - start)
    return (median(walls), median(cpus)), result


def ratios(label, took, base, goal):
    print('    %-8s %.3f s (processor %.3f s): ratio to %s %.3f, processor %.3f (goal <= %g)'
          % (label, took[0], took[1], base[2], took[0] / base[0], took[1] / base[1], goal))


def main(argv):
    n = int(argv[1]) if len(argv) > 1 else 1000000
    reps = int(argv[2]) if len(argv) > 2 else 3
    rng = random.Random(5)
    edge = (1.0 / n) ** (1.0 / 3)
    lower = [(rng.random(), rng.random(), rng.random()) for _ in range(n)]
    upper = [(x + edge, y + edge, z + edge) for x, y, z in lower]
    ids = list(range(n))
    build, tree = timed(lambda: Boxfinder.Boxfinder(lower, upper, ids), reps)
    build = build + ('build',)
    print('Boxfinder tree of %d boxes, medians of %d repetitions; build %.3f s (processor %.3f s)'
          % (n, reps, build[0], build[1]))
    blocks = (n + NODES_PER_BLOCK) // NODES_PER_BLOCK
    for label, change in (('fresh from the build', None),
                          ('after one insertion', lambda t: t.AddToTree((0, 0, 0), (1, 1, 1), n))):
        if change is not None:
            change(tree)
        own = blocks * NODES_PER_BLOCK * (NODE_BYTES + (BOUNDS_BYTES if change else 0))
        protocol = pickle.HIGHEST_PROTOCOL
        dump, data = timed(lambda: pickle.dumps(tree, protocol), reps)
        load, copy = timed(lambda: pickle.loads(data), reps)
        assert copy.PtQuery((0.5, 0.5, 0.5)) == tree.PtQuery((0.5, 0.5, 0.5))
        print('  %s (protocol %d):' % (label, protocol))
        ratios('pickle', dump, build, 0.3)
        ratios('unpickle', load, build, 0.3)
        print('    size %d bytes, tree %d bytes: ratio %.3f (goal <= 1.1)'
              % (len(data), own, len(data) / float(own)))


if __name__ == '__main__':
    main(sys.argv)
