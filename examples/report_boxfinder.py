"""Example analysis section: locating points in the element boxes of a small
tetrahedral mesh with Boxfinder."""
import Triad
import Boxfinder

_TETS = ((0, 1, 3, 4), (1, 2, 3, 6), (1, 4, 5, 6), (3, 4, 6, 7), (1, 3, 4, 6))
_CORNERS = ((0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0),
            (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1))


def _mesh(cells, size):
    """Bounding boxes of the five tetrahedra of each cell of a cube grid."""
    h = float(size) / cells
    lower, upper, ids = [], [], []
    for i in range(cells):
        for j in range(cells):
            for k in range(cells):
                for tet in _TETS:
                    pts = [((i + _CORNERS[c][0]) * h, (j + _CORNERS[c][1]) * h,
                            (k + _CORNERS[c][2]) * h) for c in tet]
                    lower.append(Triad.Triad(*[min(p[a] for p in pts) for a in range(3)]))
                    upper.append(Triad.Triad(*[max(p[a] for p in pts) for a in range(3)]))
                    ids.append(len(ids))
    return lower, upper, ids


def report(out):
    cells, size = 4, 2.0
    lower, upper, ids = _mesh(cells, size)
    tree = Boxfinder.Boxfinder(lower, upper, ids)
    out.write('Box search (Boxfinder)\n')
    out.write('  %d tetrahedra of a %dx%dx%d grid over a cube of edge %g\n'
              % (len(ids), cells, cells, cells, size))
    probes = [Triad.Triad(0.1, 0.2, 0.3), Triad.Triad(1.0, 1.0, 1.0),
              Triad.Triad(1.9, 0.05, 1.2), Triad.Triad(2.5, 0.0, 0.0)]
    for p in probes:
        hits = tree.PtQuery(p)
        out.write('  point (%g, %g, %g): %d candidate elements %s\n'
                  % (p.x(), p.y(), p.z(), len(hits), sorted(hits)[:8]))
    near = tree.RangeQuery(Triad.Triad(0.9, 0.9, 0.9), Triad.Triad(1.1, 1.1, 1.1))
    out.write('  elements whose boxes touch the box (0.9..1.1)^3: %d\n' % len(near))
    # Remove the elements of the first cell and add a refined patch instead.
    for e in range(5):
        tree.RemoveFromTree(lower[e], upper[e], e)
    tree.AddToTree(Triad.Triad(0, 0, 0), Triad.Triad(0.25, 0.25, 0.25), 1000)
    out.write('  after replacing cell 0 by patch 1000, point (0.1, 0.2, 0.2): %s\n'
              % tree.PtQuery(Triad.Triad(0.1, 0.2, 0.2)))


if __name__ == '__main__':
    import sys
    report(sys.stdout)
