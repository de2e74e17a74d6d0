"""Section: geometry of a tetrahedral element with Triad vectors."""
from Triad import Triad, CrossProd, TripleProd


def report(out):
    out.write("Tetrahedron geometry (Triad)\n")
    nodes = [Triad(0, 0, 0), Triad(2, 0, 0), Triad(0, 3, 0), Triad(0, 0, 4)]
    e1, e2, e3 = [n - nodes[0] for n in nodes[1:]]
    volume = TripleProd(e1, e2, e3) / 6.0
    normal = CrossProd(nodes[2] - nodes[1], nodes[3] - nodes[1]).Normalize()
    centroid = (nodes[0] + nodes[1] + nodes[2] + nodes[3]) / 4
    lo, hi = +nodes[0], +nodes[0]
    for n in nodes[1:]:
        lo.Min(n)
        hi.Max(n)
    out.write("  nodes:            %s\n" % ", ".join("(%s)" % n for n in nodes))
    out.write("  volume:           %g\n" % volume)
    out.write("  centroid:         (%s)\n" % centroid)
    out.write("  slanted face unit normal: (%s)\n" % normal)
    out.write("  bounding box:     (%s) to (%s)\n" % (lo, hi))
    out.write("  longest edge:     %g\n" % max((a - b).Magnitude()
                                            for i, a in enumerate(nodes) for b in nodes[i + 1:]))
