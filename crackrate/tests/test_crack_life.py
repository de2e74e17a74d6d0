"""Crackrate.GrowCrack: the exact mode against the Python loop over
Compute_Crackrate, bit for bit, on random spectra and constants; the stops;
refused input that leaves the model's state as it was; lives continued
after a copy or a pickle; the fast mode's error; memory growth."""
import copy
import math
import pickle
import random
import unittest

from Crackrate import Crackrate as CR

import rss
from dialect import PY3

# UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q, DK1, Cthp, Cthm, Rcl, alfa, ratio,
# R, a0, np, damp (Kc = Kie = 60 with the flag set).
REFERENCE = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
             10000]
INT_MAX = 2 ** 31 - 1
NAN = float("nan")
INF = float("inf")


def state(obj):
    """The overload state (Kol, rpz, aol) a copy or pickle carries."""
    return obj.__reduce__()[1][2]


def factor(table, Y, a):
    """Y(a): the constant, or the table interpolated as the integrator does."""
    if table is None:
        return Y
    if not a > table[0][0]:
        return table[0][1]
    if not a < table[-1][0]:
        return table[-1][1]
    i = max(j for j in range(len(table)) if table[j][0] <= a)
    (a0, Y0), (a1, Y1) = table[i], table[i + 1]
    return Y0 + (a - a0) * (Y1 - Y0) / (a1 - a0)


def python_life(obj, spectrum, initial, final, passes=1000000, record=0, start=0, Y=1.0,
                table=None):
    """The life as a script writes it over Compute_Crackrate: the oracle.
    Returns (stop, cycles, length, history)."""
    kc = obj.Kc
    a, n = initial, start
    history = [(n, a)]

    def finish(stop):
        if history[-1][0] != n:
            history.append((n, a))
        return stop, n, a, history

    for _ in range(passes):
        before = a
        for S, R, count in spectrum:
            for _ in range(int(count)):
                if a >= final:
                    return finish("final length")
                dK = S * factor(table, Y, a) * math.sqrt(math.pi * a)
                if dK / (1 - R) >= kc:
                    return finish("fracture")
                rate = obj.Compute_Crackrate(dK, a, min(n, INT_MAX), R)
                if not rate >= 0 or rate == INF:
                    return finish("no rate")
                a += rate
                n += 1
                if record and (n - start) % record == 0:
                    history.append((n, a))
        if a == before:
            return finish("arrest")
    return finish("pass limit")


def as_tuple(life):
    return (life.stop, life.cycles, life.length,
            [(int(c), a) for c, a in life.history.tolist()])


def random_case(rnd):
    """Constants, spectrum and keywords of a short life: blocks of like
    cycles with overloads and underloads between them."""
    constants = list(REFERENCE) + [rnd.uniform(2, 4)]
    constants[2] = rnd.uniform(30, 70)                       # Kie, so Kc
    constants[19] = rnd.choice([10000, rnd.uniform(50, 500)])  # damp
    spectrum = []
    scale = rnd.uniform(12, 36)
    for _ in range(rnd.randint(1, 4)):
        R = rnd.uniform(-0.5, 0) if rnd.random() < 0.2 else rnd.uniform(0, 0.6)
        spectrum.append((scale * rnd.uniform(0.5, 1.5), R, rnd.randint(1, 300)))
        if rnd.random() < 0.6:
            spectrum.append((scale * rnd.uniform(1.4, 2.4), 0.1, 1))
    initial = rnd.uniform(0.05, 0.3)
    keywords = dict(passes=rnd.randint(1, 30), start=rnd.choice([0, rnd.randint(0, 3 * 10 ** 9)]))
    if rnd.random() < 0.5:
        keywords["record"] = rnd.randint(1, 400)
    if rnd.random() < 0.3:
        keywords["table"] = [(0.01, 1.0), (0.5, rnd.uniform(1.1, 1.3)), (1.0, 1.3), (2.0, 1.5)]
    else:
        keywords["Y"] = rnd.uniform(0.8, 1.4)
    final = initial * rnd.uniform(1.0001, 1.01) if rnd.random() < 0.5 else 1.9
    return constants, spectrum, initial, final, keywords


class ExactModeTest(unittest.TestCase):

    def test_the_python_loop_over_the_per_cycle_method_bit_for_bit(self):
        rnd = random.Random(19)
        stops = set()
        for trial in range(40):
            constants, spectrum, initial, final, keywords = random_case(rnd)
            ours, theirs = CR(constants, 1), CR(constants, 1)
            if rnd.random() < 0.5:
                # A history behind both: an overload already recorded.
                ours.Compute_Crackrate(30, initial, 0, 0.1)
                theirs.Compute_Crackrate(30, initial, 0, 0.1)
            life = ours.GrowCrack(spectrum, initial, final, **keywords)
            expected = python_life(theirs, spectrum, initial, final, **keywords)
            self.assertEqual(as_tuple(life), expected, "trial %d" % trial)
            self.assertEqual(state(ours), state(theirs), "trial %d" % trial)
            stops.add(life.stop)
        self.assertEqual(stops, set(["final length", "fracture", "pass limit"]))

    def test_the_per_cycle_form_is_the_same_life_as_its_segments(self):
        rnd = random.Random(3)
        cycles = [(rnd.uniform(10, 30), rnd.uniform(0, 0.5)) for _ in range(300)]
        cycles[100] = (50.0, 0.1)  # an overload
        one, other = CR(REFERENCE, 1), CR(REFERENCE, 1)
        per_cycle = one.GrowCrack(cycles, 0.1, 0.5, per_cycle=True, passes=5, record=7)
        segments = other.GrowCrack([(S, R, 1) for S, R in cycles], 0.1, 0.5, passes=5,
                                   record=7)
        self.assertEqual(as_tuple(per_cycle), as_tuple(segments))
        self.assertEqual(state(one), state(other))

    def test_each_stop_with_its_cycle_and_length(self):
        obj = CR(REFERENCE, 1)
        life = obj.GrowCrack([(30, 0.1, 1000)], 0.05, 0.06)
        self.assertEqual(life.stop, "final length")
        self.assertGreaterEqual(life.length, 0.06)
        self.assertEqual(tuple(life.history.tolist()[-1]), (life.cycles, life.length))
        self.assertEqual(life.passes, 1 + (life.cycles - 1) // 1000)
        self.assertEqual(life.evaluations, life.cycles)
        # Kmax = 40/0.9 sqrt(pi a) reaches Kc = 60 at a = 0.58.
        life = obj.GrowCrack([(40, 0.1, 1000)], 0.3, 2.0, start=10 ** 6)
        self.assertEqual(life.stop, "fracture")
        self.assertGreaterEqual(40 * math.sqrt(math.pi * life.length) / 0.9, 60)
        self.assertLess(state(obj)[0], 60)
        # Below the threshold every cycle of the pass grows nothing.
        life = obj.GrowCrack([(1, 0.1, 500)], 0.05, 0.6, start=10 ** 6)
        self.assertEqual((life.stop, life.cycles, life.passes, life.length),
                         ("arrest", 10 ** 6 + 500, 1, 0.05))
        obj.SetKol()  # else the fracture's overload, at a longer crack, holds it
        life = obj.GrowCrack([(15, 0.1, 100)], 0.05, 0.6, passes=3, record=100)
        self.assertEqual(life.stop, "pass limit")
        self.assertEqual([c for c, _ in life.history.tolist()], [0, 100, 200, 300])
        self.assertEqual(len(life), 6)
        self.assertEqual(life[0], life.stop)

    @unittest.skipUnless(PY3, "numpy is installed for Python 3 only")
    def test_numpy_arrays_in_and_the_history_out_without_a_copy(self):
        try:
            import numpy
        except ImportError:
            self.skipTest("numpy is not installed")
        spectrum = numpy.array([(30, 0.1, 200), (50, 0.1, 1)])
        table = numpy.array([(0.0, 1.0), (1.0, 1.2)])
        one, other = CR(REFERENCE, 1), CR(REFERENCE, 1)
        life = one.GrowCrack(spectrum, 0.05, 0.2, table=table, record=50)
        expected = other.GrowCrack(spectrum.tolist(), 0.05, 0.2, table=table.tolist(),
                                   record=50)
        self.assertEqual(as_tuple(life), as_tuple(expected))
        history = numpy.frombuffer(life.history, dtype=numpy.float64).reshape(-1, 2)
        self.assertEqual(numpy.asarray(life.history).shape, history.shape)
        self.assertEqual(history[-1, 1], life.length)


class RefusalTest(unittest.TestCase):

    REFUSED = [
        # (arguments, keywords, exception, part of the message)
        (([(15, 0.1, -1)], 0.05, 0.6), {}, ValueError, "cycle count 0 is -1"),
        (([(15, 0.1, 2.5)], 0.05, 0.6), {}, ValueError, "whole number"),
        (([(15, 0.1, 0)], 0.05, 0.6), {}, ValueError, "no cycles"),
        (([], 0.05, 0.6), {}, ValueError, "no segments"),
        (([(NAN, 0.1, 10)], 0.05, 0.6), {}, ValueError, "stress range 0 is"),
        (([(15, 0.1, 10), (15, NAN, 10)], 0.05, 0.6), {}, ValueError, "stress ratio 1"),
        (([(15, 1.0, 10)], 0.05, 0.6), {}, ValueError, "below 1"),
        (([(15, 0.1, 10)], 0.6, 0.05), {}, ValueError, "below the initial length"),
        (([(15, 0.1, 10)], -0.1, 0.6), {}, ValueError, "initial length"),
        (([(15, 0.1, 10)], 0.05, INF), {}, ValueError, "final length"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"table": [(0.1, 1), (1, 1.2)]}, ValueError,
         "does not cover"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"table": [(0, 1), (0.7, 1.2), (0.7, 1.3)]},
         ValueError, "must increase"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"table": [(0, 1)]}, ValueError, "two points"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"table": []}, ValueError, "two points"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"table": [(0, 1, 2), (1, 1, 2)]}, ValueError, "table"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"Y": 0.0}, ValueError, "Y is 0"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"mode": "quick"}, ValueError, "'exact' or 'fast'"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"passes": 0}, ValueError, "pass limit"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"record": -1}, ValueError, "record interval"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"start": -1}, ValueError, "start cycle"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"tolerance": 0.5}, ValueError, "tolerance"),
        (([(15, 0.1)], 0.05, 0.6), {}, ValueError, "spectrum"),
        (([(15, 0.1, 10)], 0.05, 0.6), {"per_cycle": True}, ValueError, "spectrum"),
        ((["abc"], 0.05, 0.6), {}, TypeError, ""),
        ((5, 0.05, 0.6), {}, TypeError, "spectrum"),
        (([(15, 0.1, 10)], "0.05", 0.6), {}, TypeError, ""),
        (([(15, 0.1, 10)], 0.05), {}, TypeError, ""),
        (([(15, 0.1, 10)], 0.05, 0.6), {"colour": 1}, TypeError, ""),
        (([(15, 0.1, 10)], 0.05, 0.6), {"mode": 1}, TypeError, ""),
    ]

    def test_bad_input_is_refused_before_any_cycle_and_leaves_the_state(self):
        obj = CR(REFERENCE, 1)
        obj.Compute_Crackrate(30, 0.1, 0, 0.1)
        before = pickle.dumps(obj, 2)
        for args, keywords, error, part in self.REFUSED:
            with self.assertRaises(error) as caught:
                obj.GrowCrack(*args, **keywords)
            self.assertIn(part, str(caught.exception), (args, keywords))
            self.assertEqual(pickle.dumps(obj, 2), before, (args, keywords))

    def test_an_object_without_a_model_refuses(self):
        self.assertRaises(ValueError, CR.__new__(CR).GrowCrack, [(15, 0.1, 10)], 0.05, 0.6)

    def test_the_doc_string_gives_the_signature(self):
        signature = getattr(CR.GrowCrack, "__text_signature__", None) or CR.GrowCrack.__doc__
        self.assertIn("($self, spectrum, initial, final, /, *, mode='exact'", signature)


class ContinuationTest(unittest.TestCase):

    def test_a_life_goes_on_after_a_copy_or_a_pickle_as_if_never_stopped(self):
        spectrum = [(40, 0.1, 400), (65, 0.1, 1), (34, 0.3, 199)]
        whole = CR(REFERENCE, 1).GrowCrack(spectrum, 0.1, 0.13, record=100)
        self.assertEqual(whole.stop, "final length")
        # Stopped after 30 passes (the pass is 600 cycles) ...
        first = CR(REFERENCE, 1)
        half = first.GrowCrack(spectrum, 0.1, 0.13, passes=30, record=100)
        self.assertEqual(half.cycles, 18000)
        routes = [copy.copy(first), copy.deepcopy(first)]
        routes += [pickle.loads(pickle.dumps(first, p)) for p in range(pickle.HIGHEST_PROTOCOL + 1)]
        for duplicate in routes:
            # ... and taken up again by the copy, from where it stood.
            rest = duplicate.GrowCrack(spectrum, half.length, 0.13, start=half.cycles, record=100)
            self.assertEqual((rest.stop, rest.cycles, rest.length),
                             (whole.stop, whole.cycles, whole.length))
            self.assertEqual(half.history.tolist() + rest.history.tolist()[1:],
                             whole.history.tolist())


class FastModeTest(unittest.TestCase):

    def error(self, spectrum, initial, final):
        exact = CR(REFERENCE, 1).GrowCrack(spectrum, initial, final)
        fast = CR(REFERENCE, 1).GrowCrack(spectrum, initial, final, mode="fast")
        self.assertEqual(fast.stop, exact.stop)
        self.assertLess(fast.evaluations * 50, exact.evaluations)
        return abs(fast.cycles - exact.cycles) / float(exact.cycles - 0)

    def test_within_a_tenth_of_a_percent_of_the_exact_life(self):
        # The example's blocks: 9.6 million cycles from 0.05 to 0.6 in.
        self.assertLess(self.error([(15, 0.1, 1000)], 0.05, 0.6), 1e-3)
        rnd = random.Random(5)
        for _ in range(3):
            spectrum = []
            for _ in range(rnd.randint(1, 3)):
                spectrum.append((rnd.uniform(20, 28), rnd.uniform(0, 0.4),
                                 rnd.randint(2000, 20000)))
                spectrum.append((rnd.uniform(38, 43), 0.1, 1))
            self.assertLess(self.error(spectrum, 0.05, 0.3), 1e-3)

    def test_fracture_and_the_overload_state_of_the_fast_mode(self):
        exact, fast = CR(REFERENCE, 1), CR(REFERENCE, 1)
        e = exact.GrowCrack([(40, 0.1, 5000)], 0.3, 2.0, start=10 ** 6)
        f = fast.GrowCrack([(40, 0.1, 5000)], 0.3, 2.0, start=10 ** 6, mode="fast")
        self.assertEqual(f.stop, "fracture")
        self.assertLessEqual(abs(f.cycles - e.cycles), 1e-3 * (e.cycles - 10 ** 6))
        for ours, theirs in zip(state(fast), state(exact)):
            self.assertAlmostEqual(ours, theirs, delta=1e-3 * abs(theirs))


class MemoryTest(unittest.TestCase):

    def test_no_growth_over_succeeding_and_failing_calls(self):
        obj = CR(REFERENCE, 1)
        empty = CR.__new__(CR)

        def loop():
            for i in range(100):
                obj.SetKol()
                obj.GrowCrack([(30, 0.1, 50), (50, 0.1, 1)], 0.05, 0.3, passes=2, record=10)
                obj.GrowCrack([(30, 0.1), (20, 0.2)], 0.05, 0.3, per_cycle=True, passes=20,
                              table=[(0, 1), (1, 1.2)], mode="fast")
                for args, keywords, _, _ in RefusalTest.REFUSED:
                    rss.calls(lambda: obj.GrowCrack(*args, **keywords))()
                rss.calls(empty.GrowCrack, [(15, 0.1, 10)], 0.05, 0.6)()
        rss.assert_no_growth(self, loop)


if __name__ == "__main__":
    unittest.main()
