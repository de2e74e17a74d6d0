"""Invariants, effective measures and principal values of Hexad tensors,
the release of partly built principal directions, and memory stability of
every method."""
import math
import os
import random
import subprocess
import sys
import textwrap
import unittest

import rss
import Triad
from Hexad import Hexad as H
from dialect import PRINT_FUNCTION, long_type, text

R2 = math.sqrt(0.5)


def values(t):
    return list(t)


def components(v):
    return [v[0], v[1], v[2]]


class TestScalarMeasures(unittest.TestCase):
    # The formulas themselves are checked natively; here each method reaches
    # its measure and leaves the tensor alone.
    def test_methods(self):
        t = H(0, 0, 0, 1, 0, 0)
        self.assertAlmostEqual(t.Norm(), math.sqrt(2), places=15)
        self.assertEqual((t.I1(), t.I2(), t.I3(), t.J2()), (0.0, -1.0, 0.0, 1.0))
        self.assertAlmostEqual(t.EffectiveStress(), math.sqrt(3), places=15)
        self.assertAlmostEqual(t.EffectiveStrain(), math.sqrt(1.0 / 3), places=15)
        u = H(1, 0, 0, 0, 0, 0)
        self.assertEqual((u.J2(), u.EffectiveStress(), u.Norm()), (0.3333333334, 1.0, 1.0))
        self.assertAlmostEqual(u.EffectiveStrain(), 2.0 / 3.0, places=15)
        t = H(1, 2, 3, 4, 5, 6)
        self.assertEqual((t.I1(), t.I2(), t.I3()), (6.0, -66.0, 101.0))
        d = t.DeviatoricPart()
        self.assertIs(type(d), H)
        self.assertEqual(values(d), [-1, 0, 1, 4, 5, 6])
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])
        self.assertTrue(math.isnan(H(float("nan"), 0, 0, 0, 0, 0).EffectiveStress()))


class TestPrincipalValues(unittest.TestCase):
    def assertDirections(self, dirs, expected):
        self.assertEqual(len(dirs), 3)
        for v, e in zip(dirs, expected):
            self.assertIs(type(v), Triad.Triad)
            for a, b in zip(components(v), e):
                self.assertAlmostEqual(a, b, places=15)

    def test_diagonal(self):
        p, dirs = H(1, 3, 2, 0, 0, 0).PrincipalValues()
        self.assertIs(type(p), H)
        self.assertEqual(values(p), [3, 2, 1, 0, 0, 0])
        self.assertDirections(dirs, [(0, 1, 0), (0, 0, 1), (1, 0, 0)])

    def test_equal_values_keep_their_order(self):
        for c in [0.0, 7.5]:
            result = H(c, c, c, 0, 0, 0).PrincipalValues()
            self.assertIs(type(result), tuple)
            p, dirs = result
            self.assertEqual(values(p), [c, c, c, 0, 0, 0])
            self.assertDirections(dirs, [(1, 0, 0), (0, 1, 0), (0, 0, 1)])

    def test_full_tensor(self):
        t = H(1, 2, 3, 4, 5, 6)
        p, dirs = t.PrincipalValues()
        for a, b in zip(values(p)[:3], [12.12839341, -2.03379136, -4.09460205]):
            self.assertAlmostEqual(a, b, places=8)
        self.assertEqual(values(p)[3:], [0.0, 0.0, 0.0])
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])
        again, dirs2 = t.PrincipalValues(1, 2)
        self.assertEqual(values(again), values(p))
        self.assertEqual([components(v) for v in dirs2], [components(v) for v in dirs])

    def test_pure_shear(self):
        p, dirs = H(0, 0, 0, 1, 0, 0).PrincipalValues()
        for a, b in zip(values(p), [1, 0, -1, 0, 0, 0]):
            self.assertAlmostEqual(a, b, places=15)
        self.assertDirections(dirs, [(R2, R2, 0), (0, 0, 1), (R2, -R2, 0)])

    def test_invariants_of_the_principal_tensor(self):
        rnd = random.Random(3)
        for _ in range(300):
            t = H(*[rnd.uniform(-50, 50) for _ in range(6)])
            p, dirs = t.PrincipalValues()
            scale = t.Norm()
            self.assertAlmostEqual(p.I1(), t.I1(), delta=1e-12 * scale)
            self.assertAlmostEqual(p.I2(), t.I2(), delta=1e-12 * scale ** 2)
            self.assertAlmostEqual(p[0] * p[1] * p[2], t.I3(), delta=1e-11 * scale ** 3)
            self.assertTrue(p[0] >= p[1] >= p[2])
            # Each direction is a unit vector of its value: t v = p v.
            for k, v in enumerate(dirs):
                self.assertAlmostEqual(v.Magnitude(), 1.0, places=13)
                x, y, z = components(v)
                tv = [t.xx() * x + t.xy() * y + t.zx() * z,
                      t.xy() * x + t.yy() * y + t.yz() * z,
                      t.zx() * x + t.yz() * y + t.zz() * z]
                for a, b in zip(tv, (x, y, z)):
                    self.assertAlmostEqual(a, p[k] * b, delta=1e-12 * scale)

    def test_nan_components_give_nan_results(self):
        nan = float("nan")
        for t in [H(1, 2, 3, nan, 5, 6), H(nan, 2, 3, 4, 5, 6), H(*[nan] * 6)]:
            p, dirs = t.PrincipalValues()
            self.assertTrue(all(math.isnan(x) for x in values(p)[:3]))
            self.assertEqual(values(p)[3:], [0.0, 0.0, 0.0])
            self.assertEqual(len(dirs), 3)


# Runs a script in a fresh interpreter, where a module "Triad" of the
# script's making is bound when Hexad is imported.
def run_fresh(script):
    proc = subprocess.Popen([sys.executable, "-B", "-c", PRINT_FUNCTION + textwrap.dedent(script)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=dict(os.environ))
    out, err = proc.communicate()
    return proc.returncode, text(out), text(err)


class TestPrincipalDirectionsThroughTheBinding(unittest.TestCase):
    """The kinds of bound vector class are tested once, in
    common/tests/test_vector_binding.py; here, what PrincipalValues does
    with a vector that cannot be built."""

    def check(self, script):
        code, out, err = run_fresh(script)
        self.assertEqual(code, 0, err)
        self.assertEqual(out.strip(), "ok", out + err)

    def test_failing_factory_releases_the_partial_result(self):
        self.check("""
            import sys, types, gc
            m = types.ModuleType("Triad")
            m.Triad = pow   # pow of three floats raises
            sys.modules["Triad"] = m
            from Hexad import Hexad
            t = Hexad(1, 2, 3, 4, 5, 6)
            try:
                t.PrincipalValues()
            except TypeError as e:
                assert str(e) == "Problem building Triad object", e
            else:
                raise AssertionError("no exception")
            sys.path.insert(0, %r)
            import rss, unittest
            class Case(unittest.TestCase):
                def runTest(self):
                    pass
            try:
                rss.assert_no_growth(Case(), lambda: [rss.calls(t.PrincipalValues)()
                                                      for _ in range(20000)])
            except unittest.SkipTest:
                pass
            print("ok")
            """ % os.path.dirname(rss.__file__))


class TestMemory(unittest.TestCase):
    def test_every_method_and_operator(self):
        t = H(1, 2, 3, 4, 5, 6)
        s = H(0.5, -1, 2, 0, 3, -2)

        def loop():
            for _ in range(3000):
                u = H(1, 2, 3, 4, 5, 6)
                for m in [u.xx, u.yy, u.zz, u.xy, u.yz, u.zx, u.Norm, u.I1, u.I2,
                          u.I3, u.J2, u.EffectiveStress, u.EffectiveStrain,
                          u.DeviatoricPart, u.PrincipalValues, u.__reduce__]:
                    m()
                t + s, t - s, t * s, 2 * t, t * 2.5, t / 3, repr(t), list(t), t[3]
                u += s
                u -= s
                u *= 2
                u /= 2
                u[0] = 1.5
        loop()  # runs in sanitizer builds too, where growth is not measured
        rss.assert_no_growth(self, loop)

    def test_failing_calls(self):
        t = H(1, 2, 3, 4, 5, 6)

        def iadd():
            u = t
            u += 1

        def setitem():
            t[0] = "a"

        def loop():
            for _ in range(3000):
                for call in [rss.calls(lambda: t + 1), rss.calls(lambda: t * long_type(2)),
                             rss.calls(lambda: t * 10 ** 400), rss.calls(lambda: t // 2),
                             rss.calls(lambda: t / t), rss.calls(lambda: t[9]),
                             rss.calls(iadd), rss.calls(setitem),
                             rss.calls(H, 1, 2, 3), rss.calls(H, 1, 2, 3, 4, 5, "x"),
                             rss.calls(t.Norm, 1)]:
                    call()
        loop()
        rss.assert_no_growth(self, loop)


if __name__ == "__main__":
    unittest.main()
