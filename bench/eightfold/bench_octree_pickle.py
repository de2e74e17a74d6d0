"""Pickling octrees of about 1e6 leaves against refining them: pickle.dumps
and pickle.loads each as a ratio of the refinement's time (goal at most
0.3), and the pickle's size as a ratio of the tree's own bytes (goal at
most 1.1). Medians of several repetitions, all in one run.

    python bench_octree_pickle.py [repetitions]

Uniform refinements give 8**k leaves; the nearest to 1e6 is 8**7.
"""
from __future__ import print_function

import pickle
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from timing import ratios, timed  # noqa: E402

import Eightfold  # noqa: E402

# The tree's own bytes per cell (eightfold_tree.h): eight child links and
# the parent link.
CELL_BYTES = 9 * 8


def uniform():
    # The uniform refinements give 8**k leaves: 8**7, about 2.1e6, is the
    # nearest to 1e6 leaves.
    tree = Eightfold.Eightfold((0, 0, 0), 1.0)
    tree.UniformRefine(1.0 / 128)
    return tree


def with_history():
    # 8**6 leaves, then deep refinements around 64 points, balanced.
    import random
    rng = random.Random(1)
    tree = Eightfold.Eightfold((0, 0, 0), 1.0)
    tree.UniformRefine(1.0 / 64)
    for _ in range(64):
        tree.RefineToSize((rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1)), 2.0 ** -14)
    tree.RefineOneLevelDiff()
    return tree


def main(argv):
    reps = int(argv[1]) if len(argv) > 1 else 3
    print('Eightfold pickles against refinements, medians of %d repetitions' % reps)
    for label, make in (('uniform', uniform), ('refined around points and balanced', with_history)):
        refine, tree = timed(make, reps)
        leaves = len(tree.GetLeafCells())
        cells = (leaves - 1) // 7 * 8 + 1
        print('  %s: %d leaves (%d cells), refinement %.3f s (processor %.3f s)'
              % (label, leaves, cells, refine[0], refine[1]))
        protocol = pickle.HIGHEST_PROTOCOL
        dump, data = timed(lambda: pickle.dumps(tree, protocol), reps)
        load, copy = timed(lambda: pickle.loads(data), reps)
        assert copy.__reduce__() == tree.__reduce__()
        own = cells * CELL_BYTES
        ratios('pickle', dump, refine, 'refinement', 0.3)
        ratios('unpickle', load, refine, 'refinement', 0.3)
        print('    size %d bytes, tree about %d bytes: ratio %.4f (goal <= 1.1)'
              % (len(data), own, len(data) / float(own)))


if __name__ == '__main__':
    main(sys.argv)
