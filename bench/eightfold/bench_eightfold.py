"""Cost of Eightfold calls seen from Python.

GetLeafCells is set against its anchor, a Python loop building the same
list of (Triad, edge length) tuples from the same numbers; RefineToSize is
reported per new cell. Medians of several repetitions, in one run.
"""
import math
import time

import Eightfold
from Triad import Triad

REPS = 7


def sphere(count, radius):
    golden = math.pi * (3.0 - math.sqrt(5.0))
    points = []
    for i in range(count):
        z = 1.0 - 2.0 * (i + 0.5) / count
        ring = math.sqrt(1.0 - z * z)
        points.append((radius * ring * math.cos(golden * i),
                       radius * ring * math.sin(golden * i), radius * z))
    return points


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else 0.5 * (values[n // 2 - 1] + values[n // 2])


def timed(fn):
    start = time.time()
    result = fn()
    return time.time() - start, result


def main():
    points = sphere(2000, 0.5)
    size = 2.0 ** -8
    refine_times = []
    for _ in range(REPS):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)

        def refine():
            for p in points:
                tree.RefineToSize(p, size)
        seconds, _ = timed(refine)
        refine_times.append(seconds)
    # Each split turns one leaf into eight.
    new_cells = 8 * (len(tree.GetLeafCells()) - 1) // 7
    tree.RefineOneLevelDiff()
    cells = tree.GetLeafCells()
    leaves = len(cells)
    numbers = [(v.x(), v.y(), v.z(), e) for v, e in cells]
    del cells

    ours, anchor = [], []
    for _ in range(REPS):
        seconds, cells = timed(tree.GetLeafCells)
        ours.append(seconds)
        del cells
        seconds, cells = timed(
            lambda: [(Triad(x, y, z), e) for x, y, z, e in numbers])
        anchor.append(seconds)
        del cells
    a, b = median(ours) / leaves * 1e9, median(anchor) / leaves * 1e9
    print('Eightfold from Python, median of %d runs' % REPS)
    print('GetLeafCells on %d leaves: %.1f ns per leaf; Python loop building '
          'the same tuples: %.1f ns per leaf; ratio %.3f' % (leaves, a, b, a / b))
    print('RefineToSize, 2000 points to depth 8 (before balancing): '
          '%.1f ns per new cell' % (median(refine_times) / new_cells * 1e9))


if __name__ == '__main__':
    main()
