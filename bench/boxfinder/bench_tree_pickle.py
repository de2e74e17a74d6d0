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
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from timing import ratios, timed  # noqa: E402

import Boxfinder  # noqa: E402

# The tree's own bytes per node (box_tree.h): the 120-byte record the
# queries read, and the 48-byte exact subtree box once in use.
NODE_BYTES = 120
BOUNDS_BYTES = 48
NODES_PER_BLOCK = 1000


def main(argv):
    n = int(argv[1]) if len(argv) > 1 else 1000000
    reps = int(argv[2]) if len(argv) > 2 else 3
    rng = random.Random(5)
    edge = (1.0 / n) ** (1.0 / 3)
    lower = [(rng.random(), rng.random(), rng.random()) for _ in range(n)]
    upper = [(x + edge, y + edge, z + edge) for x, y, z in lower]
    ids = list(range(n))
    build, tree = timed(lambda: Boxfinder.Boxfinder(lower, upper, ids), reps)
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
        ratios('pickle', dump, build, 'build', 0.3)
        ratios('unpickle', load, build, 'build', 0.3)
        print('    size %d bytes, tree %d bytes: ratio %.3f (goal <= 1.1)'
              % (len(data), own, len(data) / float(own)))


if __name__ == '__main__':
    main(sys.argv)
