"""Section: two load cases on a simply supported girder combined node by node
with Seqmath (bending stresses in MPa, deflections in mm)."""
import math

from Seqmath import Plus, Minus, Star, Divide, ScalarMult
from Triad import Triad

SPAN = 12.0          # m
MODULUS = 2.2e6      # elastic section modulus, mm^3
ALLOWABLE = 235.0    # MPa
NODES = 7


def bending_stresses(xs):
    """Stress at each node under the self weight and deck (uniform 8 kN/m) and
    under a 60 kN axle at mid-span: bending moment in kNm over the section
    modulus."""
    q, p = 8.0, 60.0
    dead = [q * x * (SPAN - x) / 2 * 1e6 / MODULUS for x in xs]
    live = [p * min(x, SPAN - x) / 2 * 1e6 / MODULUS for x in xs]
    return dead, live


def deflections(xs):
    """Nodal displacement vectors of the two cases: vertical sag, and a small
    sway of the live case."""
    dead = [Triad(0, 0, -6.0 * math.sin(math.pi * x / SPAN)) for x in xs]
    live = [Triad(0.4 * x / SPAN, 0, -9.0 * math.sin(math.pi * x / SPAN)) for x in xs]
    return dead, live


def report(out):
    out.write("Load case combination over girder nodes (Seqmath)\n")
    xs = [SPAN * i / (NODES - 1) for i in range(NODES)]
    dead, live = bending_stresses(xs)
    # Ultimate limit state: 1.35 x permanent + 1.5 x variable, node by node.
    design = Plus(ScalarMult(dead, 1.35), ScalarMult(live, 1.5))
    service = Plus(dead, live)
    reserve = Minus([ALLOWABLE] * NODES, design)
    utilisation = Divide(design, [ALLOWABLE] * NODES)
    out.write("  %6s %9s %9s %9s %9s %9s %11s\n"
              % ("x [m]", "dead", "live", "service", "design", "reserve", "utilisation"))
    for row in zip(xs, dead, live, service, design, reserve, utilisation):
        out.write("  %6.1f %9.2f %9.2f %9.2f %9.2f %9.2f %11.3f\n" % row)
    worst = max(range(NODES), key=lambda i: utilisation[i])
    out.write("  highest utilisation %.3f at x = %.1f m\n" % (utilisation[worst], xs[worst]))

    sag_dead, sag_live = deflections(xs)
    total = Plus(sag_dead, sag_live)
    # The dot product of each displacement with itself: squared magnitude.
    squared = Star(total, total)
    mid = NODES // 2
    out.write("  mid-span displacement (%s) mm, magnitude %.2f mm\n"
              % (total[mid], math.sqrt(squared[mid])))
    out.write("  deflection limit span/300 = %.1f mm: %s\n"
              % (SPAN * 1e3 / 300, "met" if max(squared) ** 0.5 <= SPAN * 1e3 / 300
                 else "exceeded"))


if __name__ == "__main__":
    import sys
    report(sys.stdout)
