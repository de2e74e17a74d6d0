"""Example analysis section: an octree mesh refined around the front of a
semi-elliptical surface crack with Eightfold, then balanced."""
import math

import Triad
import Eightfold

# A 40 mm cube block; the crack lies in the plane x = 0 and opens from the
# top face z = 20 mm. Its front is a half ellipse of surface half-length c
# and depth a.
_HALF = 20.0
_C, _A = 8.0, 5.0
_FRONT_POINTS = 120
_FRONT_SIZE = _HALF / 2 ** 7  # half-size of the cells at the front


def _front():
    """Points along the crack front, from one surface tip to the other."""
    points = []
    for i in range(_FRONT_POINTS + 1):
        t = math.pi * i / _FRONT_POINTS
        points.append(Triad.Triad(0.0, _C * math.cos(t), _HALF - _A * math.sin(t)))
    return points


def _by_edge(cells):
    counts = {}
    for _, edge in cells:
        counts[edge] = counts.get(edge, 0) + 1
    return sorted(counts.items())


def report(out):
    tree = Eightfold.Eightfold(Triad.Triad(0, 0, 0), _HALF)
    tree.UniformRefine(_HALF / 4)  # a coarse background mesh
    front = _front()
    for point in front:
        tree.RefineToSize(point, _FRONT_SIZE)
    refined = len(tree.GetLeafCells())
    tree.RefineOneLevelDiff()
    cells = tree.GetLeafCells()

    out.write("Octree mesh around a crack front (Eightfold)\n")
    out.write("--------------------------------------------\n")
    out.write("Block: %g mm cube; crack front: half ellipse, c = %g mm, a = %g mm, "
              "%d points\n" % (2 * _HALF, _C, _A, len(front)))
    out.write("Leaves after refinement at the front: %d\n" % refined)
    out.write("Leaves after one-level balancing:     %d\n" % len(cells))
    out.write("Cell edge (mm)   leaves\n")
    for edge, count in _by_edge(cells):
        out.write("%14g %8d\n" % (edge, count))
    deepest = tree.ContainingCellSize(Triad.Triad(0.0, 0.0, _HALF - _A))
    corner = tree.ContainingCellSize(Triad.Triad(-_HALF, -_HALF, -_HALF))
    out.write("Cell edge at the deepest front point: %g mm; at the far corner: "
              "%g mm\n" % (2 * deepest, 2 * corner))
