"""Crackrate against the plain-Python transcription of its formulas (the
benchmark's anchor) on many random materials, loads and load histories."""
import math
import os
import random
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "bench", "crackrate"))
from crackrate_transcription import PyCrackrate  # noqa: E402

from Crackrate import Crackrate  # noqa: E402

RELATIVE = 1e-12


def random_constants(rnd):
    return [rnd.uniform(300, 900), rnd.uniform(200, 800), rnd.uniform(40, 120),
            rnd.uniform(20, 80), 1, 1, rnd.uniform(1e-11, 1e-9), rnd.uniform(2, 4),
            rnd.uniform(0.1, 1), rnd.uniform(0.1, 1), rnd.uniform(2, 8), rnd.uniform(0, 0.5),
            rnd.uniform(0, 0.5), 0.7, rnd.uniform(1, 3), rnd.uniform(0, 0.5),
            rnd.choice([rnd.uniform(-0.5, 0.9), 0.7]), rnd.uniform(0.01, 0.1),
            rnd.uniform(1.5, 5), rnd.uniform(100, 100000), rnd.uniform(1.5, 4)]


class TranscriptionTest(unittest.TestCase):

    def assertClose(self, ours, theirs, what):
        if math.isnan(theirs):
            self.assertTrue(math.isnan(ours), what)
        else:
            self.assertLessEqual(abs(ours - theirs), RELATIVE * abs(theirs), "%s: %r != %r" %
                                 (what, ours, theirs))

    def test_every_method_on_random_materials_and_loads(self):
        rnd = random.Random(8)
        compared = 0
        for i in range(400):
            constants = random_constants(rnd)
            flag = i % 2
            ours, theirs = Crackrate(constants, flag), PyCrackrate(constants, flag)
            for _ in range(10):
                a = rnd.uniform(0.001, 2)
                R = rnd.choice([rnd.uniform(-1, 0.95), 0.0, 0.7, 1000.0, 100.0])
                dK = rnd.uniform(0.5, 40)
                N = rnd.choice([0, rnd.randint(1, 10 ** 6)])
                DKth = rnd.choice([-1.0, 0.0, rnd.uniform(1, 8)])
                for name, args in [("Setf", (R,)), ("Calc_DKth", (a, R)),
                                   ("dDKthbydReff", (a, R)), ("CalcReff", (N, R)),
                                   ("CalcKeff", (dK, N, R)), ("Paris", (dK,)),
                                   ("Calc_Crackrate", (dK, a, N, R, DKth))]:
                    try:
                        expected = getattr(theirs, name)(*args)
                    except (ValueError, ZeroDivisionError, OverflowError):
                        continue
                    self.assertClose(getattr(ours, name)(*args), expected,
                                     "%s%r" % (name, args))
                    compared += 1
        self.assertGreater(compared, 20000)

    def test_load_histories_with_overloads(self):
        rnd = random.Random(5)
        cycles = retarded = 0
        for i in range(150):
            constants = random_constants(rnd)
            ours, theirs = Crackrate(constants, i % 2), PyCrackrate(constants, i % 2)
            a = rnd.uniform(0.01, 0.5)
            for step in range(60):
                # Peaks stay below Kc, the lowest of which is 40.
                dK = rnd.uniform(2, 8) * (2.2 if rnd.random() < 0.1 else 1)
                R = rnd.choice([rnd.uniform(-0.3, 0.5), 1000.0])
                N = step * 1000
                try:
                    expected = theirs.Compute_Crackrate(dK, a, N, R)
                except (ValueError, ZeroDivisionError, OverflowError):
                    break
                before = ours.__reduce__()[1][2]
                self.assertClose(ours.Compute_Crackrate(dK, a, N, R), expected,
                                 "history %d cycle %d" % (i, step))
                after = ours.__reduce__()[1][2]
                self.assertEqual(after, (theirs.Kol, theirs.rpz, theirs.aol))
                retarded += after == before and expected > 0
                a += theirs.rpz * rnd.uniform(0, 0.2)
                cycles += 1
                if rnd.random() < 0.02:
                    ours.SetKol()
                    theirs.SetKol()
        self.assertGreater(cycles, 7000)
        self.assertGreater(retarded, 1000)


if __name__ == "__main__":
    unittest.main()
