"""Section: principal stresses and effective stress of a few stress states
with Hexad tensors (components in MPa)."""
from Hexad import Hexad
from Triad import Triad


def report(out):
    out.write("Stress states (Hexad)\n")
    states = [
        ("uniaxial tension", Hexad(250, 0, 0, 0, 0, 0)),
        ("pure shear", Hexad(0, 0, 0, 120, 0, 0)),
        ("thin-walled pressure vessel", Hexad(100, 50, 0, 0, 0, 0)),
        ("hydrostatic pressure", Hexad(-80, -80, -80, 0, 0, 0)),
        ("general state", Hexad(120, -40, 30, 60, -25, 15)),
    ]
    out.write("  %-28s %9s %9s %9s %10s %9s\n"
              % ("state", "s1", "s2", "s3", "effective", "Tresca"))
    for name, sigma in states:
        principal, directions = sigma.PrincipalValues()
        s1, s2, s3 = principal[0], principal[1], principal[2]
        out.write("  %-28s %9.2f %9.2f %9.2f %10.2f %9.2f\n"
                  % (name, s1, s2, s3, sigma.EffectiveStress(), s1 - s3))

    name, sigma = states[-1]
    principal, directions = sigma.PrincipalValues()
    out.write("  %s: (%s)\n" % (name, sigma))
    out.write("    invariants I1 %g, I2 %g, I3 %g; J2 %g\n"
              % (sigma.I1(), sigma.I2(), sigma.I3(), sigma.J2()))
    out.write("    mean stress %g, deviatoric part (%s)\n"
              % (sigma.I1() / 3, sigma.DeviatoricPart()))
    for k, v in enumerate(directions):
        out.write("    direction of s%d: (%s)\n" % (k + 1, v))
    # The largest normal stress on any plane is s1: check it on the plane
    # whose normal is the first principal direction.
    n = directions[0]
    traction = Triad(sigma.xx() * n[0] + sigma.xy() * n[1] + sigma.zx() * n[2],
                     sigma.xy() * n[0] + sigma.yy() * n[1] + sigma.yz() * n[2],
                     sigma.zx() * n[0] + sigma.yz() * n[1] + sigma.zz() * n[2])
    out.write("    normal stress on that plane: %.6g (s1 %.6g)\n"
              % (traction * n, principal[0]))
    # A load step that scales the state: effective stress scales with it.
    step = sigma * 1.5
    out.write("    after a 1.5x load step: effective %.2f, sum of squared "
              "components %.1f\n" % (step.EffectiveStress(), step * step))


if __name__ == "__main__":
    import sys
    report(sys.stdout)
