#!/usr/bin/env python3
"""Writes meshkit/volume/volume_extrapolation_tables.h: the extrapolation matrices of the
volume element classes, computed from their integration rules and fit spaces.

Each matrix is E (V^T V)^-1 V^T, where V holds the fit-space terms at the
integration points (in the rule's point order) and E the same terms at the
element's nodes (in node order). Everything is computed in 50-digit decimal
arithmetic and each entry is written as the double nearest to it (shortest
round-trip form).

Run as:
    cd meshkit &&
    python3 tools/make_extrapolation_tables.py > volume/volume_extrapolation_tables.h
"""
import decimal
from decimal import Decimal as D

decimal.getcontext().prec = 50

HALF = D(1) / 2


def sqrt(x):
    return D(x).sqrt()


# Gauss points on [-1, 1], ascending.
GAUSS = {
    2: [-1 / sqrt(3), 1 / sqrt(3)],
    3: [-sqrt(D(3) / 5), D(0), sqrt(D(3) / 5)],
    4: [-sqrt(D(3) / 7 + D(2) / 7 * sqrt(D(6) / 5)),
        -sqrt(D(3) / 7 - D(2) / 7 * sqrt(D(6) / 5)),
        sqrt(D(3) / 7 - D(2) / 7 * sqrt(D(6) / 5)),
        sqrt(D(3) / 7 + D(2) / 7 * sqrt(D(6) / 5))],
}


def to_unit(g):
    """A Gauss abscissa moved from [-1, 1] to [0, 1]."""
    return (g + 1) / 2


def brick_points(k, unit):
    """k x k x k Gauss points: first coordinate fastest for k = 2, 3, the
    third coordinate fastest for k = 4."""
    g = [to_unit(v) if unit else v for v in GAUSS[k]]
    pts = []
    if k == 4:
        for ix in range(k):
            for iy in range(k):
                for iz in range(k):
                    pts.append((g[ix], g[iy], g[iz]))
    else:
        for iz in range(k):
            for iy in range(k):
                for ix in range(k):
                    pts.append((g[ix], g[iy], g[iz]))
    return pts


def bary(l):
    """Natural point (x, y, z) of barycentric coordinates (l0, l1, l2, l3)."""
    return (l[0], l[1], l[2])


def one_large(big, small, order=(3, 0, 1, 2)):
    out = []
    for k in order:
        l = [small] * 4
        l[k] = big
        out.append(bary(l))
    return out


PAIRS = [(0, 1), (1, 2), (2, 3), (0, 3), (0, 2), (1, 3)]


def pair_points(on_pair, off_pair):
    out = []
    for pair in PAIRS:
        l = [off_pair] * 4
        for k in pair:
            l[k] = on_pair
        out.append(bary(l))
    return out


CENTROID = bary([D(1) / 4] * 4)


def tet_rule(m):
    if m == 4:
        return one_large((5 + 3 * sqrt(5)) / 20, (5 - sqrt(5)) / 20, order=(0, 1, 2, 3))
    if m == 5:
        return [CENTROID] + one_large(HALF, D(1) / 6, order=(0, 1, 2, 3))
    if m == 11:
        r = sqrt(D(5) / 14)
        return ([CENTROID] + one_large(D(11) / 14, D(1) / 14) +
                pair_points((1 + r) / 4, (1 - r) / 4))
    if m == 15:
        r = sqrt(D(7) / 208)
        return ([CENTROID] + one_large(D(0), D(1) / 3) + one_large(D(8) / 11, D(1) / 11) +
                pair_points(D(1) / 4 - r, D(1) / 4 + r))
    if m == 24:
        a = D("0.0636610018750175299")
        b = D("0.269672331458315867")
        c = D("0.603005664791649076")
        tail = [(a, a, b, c), (c, a, a, b), (b, c, a, a), (a, b, c, a), (a, b, a, c), (c, a, b, a),
                (a, c, a, b), (b, a, c, a), (a, c, b, a), (a, a, c, b), (b, a, a, c), (c, b, a, a)]
        return (one_large(D("0.356191386222544953"), D("0.214602871259151684")) +
                one_large(D("0.877978124396165982"), D("0.0406739585346113397")) +
                one_large(D("0.0329863295731730594"), D("0.322337890142275646")) +
                [bary(l) for l in tail])
    raise ValueError(m)


def triangle_rule(t):
    third = D(1) / 3
    if t == 3:
        return [(D(0), HALF), (HALF, HALF), (HALF, D(0))]
    if t == 4:
        return [(third, third), (D("0.2"), D("0.2")), (D("0.2"), D("0.6")), (D("0.6"), D("0.2"))]
    if t == 7:
        s15 = sqrt(15)
        p, q = (6 + s15) / 21, (9 - 2 * s15) / 21
        r, s = (6 - s15) / 21, (9 + 2 * s15) / 21
        return [(third, third), (p, p), (p, q), (q, p), (r, r), (r, s), (s, r)]
    if t == 12:
        a, b = D("0.063089014491502"), D("0.873821971016996")
        c, d = D("0.249286745170910"), D("0.501426509658179")
        e, f, h = D("0.053145049844816"), D("0.310352451033785"), D("0.636502499121399")
        return [(a, a), (b, a), (a, b), (c, c), (d, c), (c, d),
                (e, f), (f, e), (h, e), (e, h), (f, h), (h, f)]
    raise ValueError(t)


def wedge_points(m):
    t, g = {6: (3, 2), 12: (4, 3), 28: (7, 4), 48: (12, 4)}[m]
    tri = triangle_rule(t)
    return [(x, y, to_unit(z)) for z in GAUSS[g] for (x, y) in tri]


# Fit spaces as exponent triples (x, y, z).
LINEAR = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)]
QUADRATIC = LINEAR + [(2, 0, 0), (0, 2, 0), (0, 0, 2), (1, 1, 0), (0, 1, 1), (1, 0, 1)]
TRILINEAR = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 0), (0, 1, 1), (1, 0, 1),
             (1, 1, 1)]
SERENDIPITY = TRILINEAR + [(2, 0, 0), (0, 2, 0), (0, 0, 2), (2, 1, 0), (2, 0, 1), (1, 2, 0),
                           (0, 2, 1), (1, 0, 2), (0, 1, 2), (2, 1, 1), (1, 2, 1), (1, 1, 2)]
WEDGE = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (0, 1, 1)]


def power(v, k):
    out = D(1)
    for _ in range(k):
        out *= v
    return out


def terms(space, p):
    return [power(p[0], a) * power(p[1], b) * power(p[2], c) for (a, b, c) in space]


def solve(a, b):
    """Solves a x = b for the columns of b by Gaussian elimination with
    partial pivoting."""
    n = len(a)
    a = [row[:] + brow[:] for row, brow in zip(a, b)]
    width = len(a[0])
    for col in range(n):
        piv = max(range(col, n), key=lambda r: abs(a[r][col]))
        a[col], a[piv] = a[piv], a[col]
        for r in range(n):
            if r != col and a[r][col] != 0:
                f = a[r][col] / a[col][col]
                a[r] = [a[r][k] - f * a[col][k] for k in range(width)]
    return [[a[r][k] / a[r][r] for k in range(n, width)] for r in range(n)]


def matrix(space, points, nodes):
    v = [terms(space, p) for p in points]
    p = len(space)
    vtv = [[sum(row[i] * row[j] for row in v) for j in range(p)] for i in range(p)]
    vt = [[row[i] for row in v] for i in range(p)]
    x = solve(vtv, vt)  # p x m
    e = [terms(space, nd) for nd in nodes]
    return [[sum(er[k] * x[k][j] for k in range(p)) for j in range(len(points))] for er in e]


def brick_nodes(lo, hi):
    return [(hi if i & 4 else lo, hi if i & 2 else lo, hi if i & 1 else lo) for i in range(8)]


BRICK20_NODES = brick_nodes(D(-1), D(1)) + [
    (D(a), D(b), D(c)) for (a, b, c) in
    [(-1, -1, 0), (-1, 1, 0), (1, -1, 0), (1, 1, 0), (-1, 0, -1), (-1, 0, 1), (1, 0, -1),
     (1, 0, 1), (0, -1, -1), (0, -1, 1), (0, 1, -1), (0, 1, 1)]]
TET_NODES = [(D(1), D(0), D(0)), (D(0), D(1), D(0)), (D(0), D(0), D(1)), (D(0), D(0), D(0)),
             (HALF, HALF, D(0)), (D(0), HALF, HALF), (HALF, D(0), HALF), (D(0), D(0), HALF),
             (D(0), HALF, D(0)), (HALF, D(0), D(0))]
WEDGE6_NODES = [(D(1), D(0), D(0)), (D(0), D(1), D(0)), (D(0), D(0), D(0)),
                (D(1), D(0), D(1)), (D(0), D(1), D(1)), (D(0), D(0), D(1))]

# (name, nodes, [(count, fit space, points)])
CLASSES = [
    ("Tetrahedral4", TET_NODES[:4],
     [(m, LINEAR, tet_rule(m)) for m in (4, 5, 11, 15, 24)]),
    ("Tetrahedral10", TET_NODES,
     [(m, LINEAR if m < 11 else QUADRATIC, tet_rule(m)) for m in (4, 5, 11, 15, 24)]),
    ("Wedge6", WEDGE6_NODES, [(m, WEDGE, wedge_points(m)) for m in (6, 12, 28, 48)]),
    ("Brick8", brick_nodes(D(0), D(1)),
     [(8, TRILINEAR, brick_points(2, True)), (27, SERENDIPITY, brick_points(3, True)),
      (64, SERENDIPITY, brick_points(4, True))]),
    ("Brick20", BRICK20_NODES,
     [(8, TRILINEAR, brick_points(2, False)), (27, SERENDIPITY, brick_points(3, False)),
      (64, SERENDIPITY, brick_points(4, False))]),
]


def main():
    print("// Extrapolation matrices of the volume element classes, nodes by points,")
    print("// row-major. Generated by meshkit/tools/make_extrapolation_tables.py")
    print("// (E (V^T V)^-1 V^T in 50-digit arithmetic, each entry the nearest double);")
    print("// do not edit. Regenerate with")
    print("//   cd meshkit &&")
    print("//   python3 tools/make_extrapolation_tables.py > volume/volume_extrapolation_tables.h")
    print("// clang-format off")
    print("#pragma once")
    print()
    print("#include <meshkit/extrapolation.h>")
    print()
    print("namespace Meshkit {")
    print("namespace tables {")
    for name, nodes, rules in CLASSES:
        for m, space, points in rules:
            mat = matrix(space, points, nodes)
            print()
            print("// %s, %d points: %d fit terms." % (name, m, len(space)))
            print("inline constexpr double k%sFrom%d[%d * %d] = {" % (name, m, len(nodes), m))
            for row in mat:
                vals = [repr(float(v)) for v in row]
                line = "   "
                for s in vals:
                    if len(line) + len(s) + 2 > 100:
                        print(line)
                        line = "   "
                    line += " " + s + ","
                print(line)
            print("};")
        print()
        print("inline constexpr ExtrapolationMatrix k%sMatrices[] = {" % name)
        for m, _, _ in rules:
            print("    {%d, k%sFrom%d}," % (m, name, m))
        print("};")
    print()
    print("}  // namespace tables")
    print("}  // namespace Meshkit")
    print("// clang-format on")


if __name__ == "__main__":
    main()
