#!/usr/bin/env python3
"""Writes meshkit/shared/quadrature_tables.h: the integration rules of the element
classes, points in each class's natural coordinates and in the order its
extrapolation matrices expect, with their weights.

The points of the volume rules are those make_extrapolation_tables.py builds
its matrices from (imported from it, so the two cannot drift apart); the
surface rules are those the surface matrices' columns assume. Each rule's
weights are fitted to the exact integrals of the monomials it integrates
exactly (least squares over more monomials than points, in 50-digit
decimal arithmetic): for the rules given by closed forms that yields the
published weights, and for those whose points are published as decimals
the weights that go best with the points as they stand.

Run as:
    cd meshkit && python3 tools/make_quadrature_tables.py > shared/quadrature_tables.h
"""
import math
import os
import sys
import textwrap

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from make_extrapolation_tables import (D, GAUSS, HALF, brick_points, power, solve,  # noqa: E402
                                       sqrt, tet_rule, triangle_rule, wedge_points)

THIRD = D(1) / 3


def fact(n):
    return D(math.factorial(n))


def interval(a, lo):
    """Integral of t^a over [lo, 1] for lo = 0 or -1."""
    if lo == 0:
        return D(1) / (a + 1)
    return D(0) if a % 2 else D(2) / (a + 1)


def tet_moment(a, b, c):
    return fact(a) * fact(b) * fact(c) / fact(a + b + c + 3)


def triangle_moment(a, b):
    return fact(a) * fact(b) / fact(a + b + 2)


# Domains: (monomials to fit as exponent triples, exact integral of each).
def tet_domain(degree):
    mons = [(a, b, c) for a in range(degree + 1) for b in range(degree + 1 - a)
            for c in range(degree + 1 - a - b)]
    return mons, lambda e: tet_moment(*e)


def cube_domain(per_axis, lo):
    mons = [(a, b, c) for a in range(per_axis + 1) for b in range(per_axis + 1)
            for c in range(per_axis + 1)]
    return mons, lambda e: interval(e[0], lo) * interval(e[1], lo) * interval(e[2], lo)


def prism_domain(triangle_degree, z_degree, lo):
    mons = [(a, b, c) for a in range(triangle_degree + 1) for b in range(triangle_degree + 1 - a)
            for c in range(z_degree + 1)]
    return mons, lambda e: triangle_moment(e[0], e[1]) * interval(e[2], lo)


def triangle_domain(degree):
    mons = [(a, b, 0) for a in range(degree + 1) for b in range(degree + 1 - a)]
    return mons, lambda e: triangle_moment(e[0], e[1])


def square_domain(per_axis):
    mons = [(a, b, 0) for a in range(per_axis + 1) for b in range(per_axis + 1)]
    return mons, lambda e: interval(e[0], -1) * interval(e[1], -1)


def fit_weights(points, domain):
    """Weights w minimising |A w - b| for A the monomials at the points and b
    their integrals (normal equations: A^T A w = A^T b)."""
    mons, moment = domain
    a = [[power(p[0], e[0]) * power(p[1], e[1]) * power(p[2], e[2]) for p in points]
         for e in mons]
    b = [moment(e) for e in mons]
    m = len(points)
    ata = [[sum(row[i] * row[j] for row in a) for j in range(m)] for i in range(m)]
    atb = [[sum(row[i] * bv for row, bv in zip(a, b))] for i in range(m)]
    return [w[0] for w in solve(ata, atb)]


def gauss_cube(k, unit):
    return brick_points(k, unit)


def pyramid_points(k):
    """k x k x k Gauss points on [-1, 1]^3, first coordinate fastest."""
    g = GAUSS[k]
    return [(g[ix], g[iy], g[iz]) for iz in range(k) for iy in range(k) for ix in range(k)]


def wedge15_points():
    """The 7-point triangle rule times 3 Gauss points on z in [-1, 1],
    triangle points fastest."""
    return [(x, y, z) for z in GAUSS[3] for (x, y) in triangle_rule(7)]


def flat(points):
    return [(p[0], p[1], D(0)) for p in points]


def bary_point(l):
    """(r, s) of the surface triangle from the corner shape-function values
    (node 0 at r = 1, node 1 at s = 1, node 2 at the origin)."""
    return (l[0], l[1], D(0))


def surface_triangle_points(m):
    if m == 3:  # midpoint of the edge from node j to node j + 1
        return flat([(HALF, HALF), (D(0), HALF), (HALF, D(0))])
    if m == 4:
        out = [bary_point([THIRD] * 3)]
        for j in range(3):
            l = [D("0.2")] * 3
            l[j] = D("0.6")
            out.append(bary_point(l))
        return out
    if m == 7:
        s15 = sqrt(15)
        out = [bary_point([THIRD] * 3)]
        for small, other in [((9 - 2 * s15) / 21, (6 + s15) / 21),
                             ((9 + 2 * s15) / 21, (6 - s15) / 21)]:
            for j in range(3):
                l = [other] * 3
                l[j] = small
                out.append(bary_point(l))
        return out
    if m == 13:
        out = [bary_point([THIRD] * 3)]
        for one, other in [(D("0.479308067841920"), D("0.260345966079040")),
                           (D("0.869739794195568"), D("0.065130102902216"))]:
            for j in range(3):
                l = [other] * 3
                l[j] = one
                out.append(bary_point(l))
        big, mid, small = D("0.638444188569810"), D("0.312865496004874"), D("0.048690315425316")
        for nodes in [(0, 1, 2), (2, 0, 1), (1, 2, 0), (1, 0, 2), (0, 2, 1), (2, 1, 0)]:
            l = [D(0)] * 3
            l[nodes[0]], l[nodes[1]], l[nodes[2]] = big, mid, small
            out.append(bary_point(l))
        return out
    raise ValueError(m)


def surface_square_points(k):
    g = GAUSS[k]
    return [(g[ir], g[is_], D(0)) for is_ in range(k) for ir in range(k)]


TET_DEGREE = {4: 2, 5: 3, 11: 4, 15: 5, 24: 6}
TRIANGLE_DEGREE = {3: 2, 4: 3, 7: 5, 12: 6, 13: 7}
WEDGE_PARTS = {6: (3, 2), 12: (4, 3), 28: (7, 4), 48: (12, 4)}


def tet_rules():
    return [(m, TET_DEGREE[m], tet_rule(m), tet_domain(TET_DEGREE[m]), "Keast" if m > 5 else
             "classical") for m in (4, 5, 11, 15, 24)]


def brick_rules(unit):
    lo = 0 if unit else -1
    return [(k ** 3, 2 * k - 1, gauss_cube(k, unit), cube_domain(2 * k - 1, lo), "Gauss")
            for k in (2, 3, 4)]


def wedge6_rules():
    out = []
    for m, (t, g) in WEDGE_PARTS.items():
        degree = min(TRIANGLE_DEGREE[t], 2 * g - 1)
        domain = prism_domain(TRIANGLE_DEGREE[t], 2 * g - 1, 0)
        out.append((m, degree, wedge_points(m), domain, "triangle x Gauss"))
    return out


# (class name, rules [(points, degree, positions, domain, source)], own rule's count,
#  comment naming the rules)
CLASSES = [
    ("Tetrahedral4", tet_rules(), 4,
     "T4 and T5 are the classical 4- and 5-point rules (degrees 2 and 3), T11, T15 and "
     "T24 Keast's (degrees 4, 5 and 6)."),
    ("Tetrahedral10", "Tetrahedral4", 15, "The same rules as ECTetrahedral4."),
    ("Pyramid5", [(k ** 3, 2 * k - 1, pyramid_points(k), cube_domain(2 * k - 1, -1), "Gauss")
                  for k in (2, 3, 4)], 27,
     "Gauss product rules on the cube [-1, 1]^3 the collapsed brick maps from, first "
     "coordinate fastest (no extrapolation matrices)."),
    ("Pyramid13", "Pyramid5", 27, "The same rules as ECPyramid5."),
    ("Wedge6", wedge6_rules(), 12,
     "Triangle rules (3-point mid-edge, 4-point degree 3, 7-point degree 5, Dunavant's "
     "12-point degree 6) times 2, 3, 4, 4 Gauss points in z on [0, 1], triangle points "
     "fastest."),
    ("Wedge15", [(21, 5, wedge15_points(), prism_domain(5, 5, -1), "triangle x Gauss")], 21,
     "The 7-point triangle rule of degree 5 times 3 Gauss points in z on [-1, 1], triangle "
     "points fastest (no extrapolation matrices)."),
    ("Brick8", brick_rules(True), 8,
     "2, 3 and 4 Gauss points per direction on [0, 1]; first coordinate fastest for 8 and "
     "27 points, the third for 64."),
    ("Brick20", brick_rules(False), 27, "The same rules on [-1, 1]^3."),
    ("Triangle3", [(m, TRIANGLE_DEGREE[m], surface_triangle_points(m),
                    triangle_domain(TRIANGLE_DEGREE[m]), "triangle") for m in (3, 4, 7, 13)], 4,
     "The 3-point mid-edge rule (degree 2), the 4-point rule of degree 3, the 7-point rule "
     "of degree 5 and Dunavant's 13-point rule of degree 7, in the extrapolation matrices' "
     "column order."),
    ("Triangle6", "Triangle3", 7, "The same rules as SECTriangle3."),
    ("Quadrilateral4", [(k * k, 2 * k - 1, surface_square_points(k), square_domain(2 * k - 1),
                         "Gauss") for k in (2, 3)], 4,
     "2 x 2 and 3 x 3 Gauss points on [-1, 1]^2, r fastest."),
    ("Quadrilateral8", "Quadrilateral4", 9, "The same rules as SECQuadrilateral4."),
]


def number(v):
    s = repr(float(v))
    return "0" if s in ("0.0", "-0.0") else s


def emit_values(name, kind, values):
    print("inline constexpr %s %s[%d] = {" % (kind, name, len(values)))
    line = "   "
    for s in values:
        if len(line) + len(s) + 2 > 100:
            print(line)
            line = "   "
        line += " " + s + ","
    print(line)
    print("};")


def main():
    print("// Integration rules of the element classes, points in each class's natural")
    print("// coordinates and in the order of its extrapolation matrices' columns, with")
    print("// their weights (the weights of a rule sum to the natural domain's volume or")
    print("// area). Generated by meshkit/tools/make_quadrature_tables.py (weights fitted")
    print("// in 50-digit arithmetic to the exact integrals of the monomials each rule")
    print("// integrates exactly, each value the nearest double); do not edit. Regenerate with")
    print("//   cd meshkit && python3 tools/make_quadrature_tables.py > shared/quadrature_tables.h")
    print("// clang-format off")
    print("#pragma once")
    print()
    print("#include <meshkit/quadrature.h>")
    print()
    print("namespace Meshkit {")
    print("namespace tables {")
    shared = {}
    for name, rules, own, comment in CLASSES:
        print()
        for line in textwrap.wrap("%s: %s" % (name, comment), 97):
            print("// " + line)
        owner = name
        if isinstance(rules, str):
            owner = rules
            rules = shared[owner]
        else:
            shared[name] = rules
            for m, degree, points, domain, _ in rules:
                weights = fit_weights(points, domain)
                emit_values("k%sPoints%d" % (name, m), "Coord3",
                            ["{%s, %s, %s}" % tuple(number(c) for c in p) for p in points])
                emit_values("k%sWeights%d" % (name, m), "double", [number(w) for w in weights])
            print("inline constexpr IntegrationRule k%sRules[] = {" % name)
            for m, degree, _, _, _ in rules:
                print("    {%d, %d, k%sPoints%d, k%sWeights%d}," % (m, degree, name, m, name, m))
            print("};")
        index = [r[0] for r in rules].index(own)
        print("inline constexpr IntegrationRuleSet k%sRuleSet = {%d, k%sRules, %d};"
              % (name, len(rules), owner, index))
    print()
    print("}  // namespace tables")
    print("}  // namespace Meshkit")
    print("// clang-format on")


if __name__ == "__main__":
    main()
