"""Section: a deformation gradient built from a stretch and a rotation with
Ennead tensors, composed by matrix products (polar decomposition F = R U)."""
import math

from Ennead import Ennead


def transpose(t):
    return Ennead(*[t[c, r] for r in range(3) for c in range(3)])


def determinant(t):
    return (t[0, 0] * (t[1, 1] * t[2, 2] - t[1, 2] * t[2, 1])
            - t[0, 1] * (t[1, 0] * t[2, 2] - t[1, 2] * t[2, 0])
            + t[0, 2] * (t[1, 0] * t[2, 1] - t[1, 1] * t[2, 0]))


def rotation_about_z(degrees):
    a = math.radians(degrees)
    return Ennead(math.cos(a), -math.sin(a), 0, math.sin(a), math.cos(a), 0, 0, 0, 1)


def rows(t):
    return ["%10.6f %10.6f %10.6f" % (t[r:0], t[r:1], t[r:2]) for r in range(3)]


def rows_of(t):
    return [t[r, c] for r in range(3) for c in range(3)]


def report(out):
    out.write("Deformation gradient (Ennead)\n")
    identity = Ennead(1, 0, 0, 0, 1, 0, 0, 0, 1)
    # Right stretch: 2% along x, 1% contraction along y, a little shear in
    # the xy plane, nothing along z.
    stretch = Ennead(1.02, 0.005, 0, 0.005, 0.99, 0, 0, 0, 1.0)
    rotation = rotation_about_z(30.0)
    gradient = rotation * stretch
    out.write("  stretch U, rotation R (30 degrees about z), gradient F = R U:\n")
    for u, r, f in zip(rows(stretch), rows(rotation), rows(gradient)):
        out.write("    %s | %s | %s\n" % (u, r, f))
    # The rotation is orthogonal (R^T R = I), so the right Cauchy-Green
    # tensor C = F^T F = U U does not see it.
    c = transpose(gradient) * gradient
    rtr = transpose(rotation) * rotation
    out.write("  largest |R^T R - I| entry %.3g; largest |F^T F - U U| entry %.3g\n"
              % (max(abs(x) for x in rows_of(rtr - identity)),
                 max(abs(x) for x in rows_of(c - stretch * stretch))))
    strain = (c - identity) / 2
    out.write("  Green-Lagrange strain E = (C - I) / 2: exx %.6f, eyy %.6f, exy %.6f\n"
              % (strain.xx(), strain.yy(), strain.xy()))
    out.write("  volume ratio det F %.6f (det U %.6f)\n"
              % (determinant(gradient), determinant(stretch)))
    # Products do not commute: stretching after rotating is another state.
    other = stretch * rotation
    out.write("  F = U R instead: xy %.6f against %.6f\n" % (other.xy(), gradient.xy()))
    # Ten equal load steps composed one after the other.
    step = identity + (gradient - identity) / 10
    total = identity  # products make new tensors: identity stays as it is
    for _ in range(10):
        total = step * total
    out.write("  ten composed steps of (F - I) / 10: %s\n" % total)


if __name__ == "__main__":
    import sys
    report(sys.stdout)
