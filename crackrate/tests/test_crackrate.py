"""The Crackrate type: construction, methods and their formats, attributes,
the overload history, its state form in copies and pickles, calls that must
not hang, and memory growth. What it shares with Boxfinder and Eightfold
(objects without a model, copies through the rebuild function, subclass
instances) is tested once in common/tests/test_native_object_scaffold.py."""
import copy
import math
import os
import pickle
import struct
import subprocess
import sys
import textwrap
import time
import unittest

import Crackrate
from Crackrate import Crackrate as CR

import roundtrip
import rss
from dialect import long_type
from messages import MessageAssertions

# UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q, DK1, Cthp, Cthm, Rcl, alfa, ratio,
# R, a0, np, damp.
REFERENCE = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
             10000]
NAMES = ["UTS", "YS", "Kie", "Kic", "Ak", "Bk", "C", "n", "p", "q", "DK1", "Cthp", "Cthm",
         "Rcl", "alfa", "ratio", "R", "a0", "np", "damp", "Rso", "alphag", "Kc"]
NOT_SEQUENCE = "First argument must be a sequences"
BAD_LENGTH = "First argument must have 20 or 21 entries"
INF = float("inf")
NAN = float("nan")


def reference(flag=1, **changes):
    constants = list(REFERENCE) + [3.0]
    for name, value in changes.items():
        constants[NAMES.index(name)] = value
    return CR(constants, flag)


def values(obj):
    return [getattr(obj, name) for name in NAMES]


def overload(obj):
    """The overload state (Kol, rpz, aol) a copy or pickle carries."""
    return obj.__reduce__()[1][2]


class NoItems(object):
    """Passes the sequence check and reports 20 entries, but its items
    cannot be fetched."""
    def __len__(self):
        return 20

    def __getitem__(self, i):
        raise KeyError("no item %d" % i)


class ConstructionTest(MessageAssertions, unittest.TestCase):

    def test_module_text_and_attribute_order(self):
        self.assertEqual(Crackrate.__doc__, "Python interface to Crackrate objects")
        obj = CR(REFERENCE, 1)
        self.assertEqual(values(obj), [float(v) for v in REFERENCE] + [3.0, 1.15, 60.0])
        for name in NAMES:
            self.assertIs(type(getattr(obj, name)), float)

    def test_ints_tuples_flag_and_optional_rso(self):
        ints = CR(tuple(range(1, 21)), 0)
        self.assertEqual(ints.Rso, 3.0)
        self.assertEqual((ints.alphag, ints.Kc), (2.55, 4.0))  # Kic is entry 3
        flagged = CR(tuple(range(1, 21)), -7)
        self.assertEqual((flagged.alphag, flagged.Kc), (1.15, 3.0))  # Kie is entry 2
        self.assertEqual(CR(range(1, 22), 1).Rso, 21.0)
        self.assertEqual(CR([long_type(1)] * 20, long_type(1)).Kc, 1.0)
        self.assertEqual(CR(REFERENCE, 1, extra=5).UTS, 0.0)  # keywords are ignored

    def test_refused_constants(self):
        self.assertFails(TypeError, NOT_SEQUENCE, CR, 5, 1)
        self.assertFails(TypeError, NOT_SEQUENCE, CR, {}, 1)
        self.assertFails(TypeError, BAD_LENGTH, CR, range(19), 1)
        self.assertFails(TypeError, BAD_LENGTH, CR, range(22), 1)
        self.assertRaises(TypeError, CR, REFERENCE)
        self.assertRaises(TypeError, CR, REFERENCE, 1.5)
        self.assertRaises(TypeError, CR, REFERENCE[:19] + ["x"], 1)
        self.assertRaises(KeyError, CR, NoItems(), 1)

    def test_a_failed_construction_keeps_the_earlier_model_and_history(self):
        obj = reference(Rso=2.5)
        obj.Compute_Crackrate(20, 0.5, 1000, 0.1)
        state = overload(obj)
        before = values(obj)
        for args in [(REFERENCE[:19] + [object()], 1), (NoItems(), 1), (range(19), 1), (5, 1)]:
            self.assertRaises(Exception, obj.__init__, *args)
            self.assertEqual(values(obj), before)
            self.assertEqual(overload(obj), state)

    def test_a_second_construction_replaces_the_model_and_clears_the_history(self):
        obj = reference()
        obj.Compute_Crackrate(20, 0.5, 1000, 0.1)
        obj.__init__(range(1, 22), 0)
        self.assertEqual(values(obj), [float(i) for i in range(1, 22)] + [2.55, 4.0])
        self.assertEqual(overload(obj), (0.0, 0.0, 0.0))

    def test_attributes_are_read_only(self):
        obj = CR(REFERENCE, 1)
        for name in ("R", "Kc", "alphag", "UTS"):
            self.assertRaises(AttributeError, setattr, obj, name, 0.5)
        self.assertEqual(obj.R, 0.1)


class MethodTest(MessageAssertions, unittest.TestCase):

    def setUp(self):
        self.obj = CR(REFERENCE, 1)

    def test_worked_values(self):
        obj = self.obj
        self.assertAlmostEqual(obj.Setf(0.1) / 0.3421718621, 1, places=9)
        self.assertAlmostEqual(obj.Calc_DKth(0.5, 0.1) / 4.650298837, 1, places=9)
        self.assertAlmostEqual(obj.Calc_DKth(0.01, 0.1) / 3.411240651, 1, places=9)
        self.assertEqual(obj.CalcReff(0, 0.1), 0.7)
        self.assertAlmostEqual(obj.CalcKeff(10, 0) / 9.583284355, 1, places=9)
        self.assertAlmostEqual(obj.Calc_Crackrate(10, 0.5, 1000000) / 3.505223014e-08, 1,
                               places=9)
        self.assertEqual(obj.Calc_Crackrate(4, 0.5, 1000000), 0.0)
        self.assertEqual(obj.Paris(1), 1e-10)

    def test_defaults_stand_for_the_stored_ratio_and_a_computed_threshold(self):
        obj = self.obj
        for dK, a, N in [(10, 0.5, 1000000), (4, 0.5, 3), (2, 0.1, 0), (30, 2.0, 50000)]:
            self.assertEqual(obj.Calc_Crackrate(dK, a, N),
                             obj.Calc_Crackrate(dK, a, N, obj.R, -1.0))
            self.assertEqual(obj.Calc_Crackrate(dK, a, N, 0.1),
                             obj.Calc_Crackrate(dK, a, N, 0.1, -1.0))
        self.assertEqual(obj.CalcKeff(10, 7), obj.CalcKeff(10, 7, 1000.0))
        self.assertEqual(obj.CalcKeff(10, 7, 0.2), 10 * (1 - obj.Setf(0.2)) / (1 - 0.2))

    def test_formats(self):
        obj = self.obj
        bad = [
            (obj.Calc_Crackrate, (10, 0.5)), (obj.Calc_Crackrate, (10, 0.5, 1.5)),
            (obj.Calc_Crackrate, (10, 0.5, 1, 0.1, -1, 7)), (obj.Calc_Crackrate, ("x", 0.5, 1)),
            (obj.CalcKeff, (10,)), (obj.CalcKeff, (10, 1, 0.1, 2)),
            (obj.Calc_DKth, (0.5,)), (obj.Paris, ()), (obj.Paris, (1, 2)),
            (obj.CalcReff, (5,)), (obj.CalcReff, (0.5, 0.1)), (obj.Setf, ()),
            (obj.dDKthbydReff, (0.5,)), (obj.SetKol, (1,)),
            (obj.Compute_Crackrate, (10, 0.5, 1)), (obj.Crackrate, (10, 0.5, 1)),
        ]
        for method, args in bad:
            self.assertRaises(TypeError, method, *args)
        self.assertRaises(TypeError, obj.Setf, R=0.1)  # positional only
        self.assertIsNone(obj.SetKol())
        for method in (obj.Setf, obj.Paris):
            self.assertIs(type(method(2)), float)
        self.assertIs(type(obj.CalcReff(True, 2)), float)

    def test_ints_of_any_size_are_read_as_the_formats_read_them(self):
        obj = self.obj
        # Doubles: ints beyond a C long through their float value, and the
        # interpreter's OverflowError beyond a double's range.
        self.assertEqual(obj.Paris(2 ** 70), obj.Paris(float(2 ** 70)))
        self.assertEqual(obj.Setf(long_type(0)), obj.Setf(0.0))
        self.assertEqual(obj.Calc_Crackrate(10 ** 20, 0.5, 1000000),
                         obj.Calc_Crackrate(1e20, 0.5, 1000000))
        with self.assertRaises(OverflowError) as interpreters:
            float(10 ** 400)
        for call in (lambda: obj.Paris(10 ** 400), lambda: obj.Calc_DKth(0.5, -10 ** 400),
                     lambda: CR(REFERENCE[:19] + [10 ** 400], 1)):
            self.assertFails(OverflowError, str(interpreters.exception), call)
        # Ints (cycle counts, the flag): bools and longs read as ints; beyond
        # a C int the interpreter's OverflowError.
        self.assertEqual(obj.CalcReff(long_type(7), 0.1), obj.CalcReff(7, 0.1))
        self.assertEqual(obj.CalcReff(True, 0.1), obj.CalcReff(1, 0.1))
        self.assertEqual(obj.Calc_Crackrate(10, 0.5, 2 ** 31 - 1),
                         obj.Calc_Crackrate(10.0, 0.5, 2147483647))
        for N, message in [(2 ** 31, "signed integer is greater than maximum"),
                           (-2 ** 31 - 1, "signed integer is less than minimum"),
                           (2 ** 63, "Python int too large to convert to C long"),
                           (-2 ** 200, "Python int too large to convert to C long")]:
            for call in (lambda: obj.Calc_Crackrate(10, 0.5, N), lambda: obj.CalcKeff(10, N),
                         lambda: obj.CalcReff(N, 0.1), lambda: CR(REFERENCE, N)):
                self.assertFails(OverflowError, message, call)
        self.assertEqual(obj.__reduce__()[1][2], (0.0, 0.0, 0.0))

    def test_ieee_results_propagate_without_exceptions(self):
        obj = self.obj
        self.assertTrue(math.isnan(obj.Setf(NAN)))
        self.assertEqual(obj.Paris(INF), INF)
        self.assertTrue(math.isnan(obj.CalcKeff(10, 0, 1.0)))  # f(1) = 1: 0 / 0
        self.assertTrue(math.isnan(obj.Calc_DKth(0.5, 1.0)))
        self.assertEqual(obj.Paris(0.0), 0.0)
        self.assertEqual(reference(C=1.0, n=-1.0).Paris(0.0), INF)
        self.assertTrue(math.isnan(obj.Calc_Crackrate(NAN, 0.5, 1000000, 0.1, 1.0)))

    def test_compute_and_crackrate_share_one_function_and_one_history(self):
        a, b = CR(REFERENCE, 1), CR(REFERENCE, 1)
        history = [(20, 0.5, 0.1), (10, 0.5001, 0.1), (15, 0.5002, 0.1), (7, 0.5003, 0.1),
                   (25, 0.6, 0.1), (9, 0.6001, 0.0)]
        for i, (dK, crack, R) in enumerate(history):
            first = a.Compute_Crackrate if i % 2 else a.Crackrate
            self.assertEqual(first(dK, crack, 1000000, R),
                             b.Compute_Crackrate(dK, crack, 1000000, R))
            self.assertEqual(overload(a), overload(b))

    def test_overload_history(self):
        obj = CR(REFERENCE, 1)
        first = obj.Compute_Crackrate(30, 0.5, 1000000, 0.0)
        self.assertEqual(first, obj.Calc_Crackrate(30, 0.5, 1000000, 0.0, -1.0))
        self.assertEqual(overload(obj)[0], 30.0)
        self.assertEqual(obj.Compute_Crackrate(10 * 0.999, 0.5, 1000000, 0.0), 0.0)  # arrest
        retarded = obj.Compute_Crackrate(10, 0.5, 1000000, 0.0)
        self.assertTrue(0 < retarded < obj.Calc_Crackrate(10, 0.5, 1000000, 0.0))
        self.assertEqual(overload(obj)[0], 30.0)
        obj.SetKol()
        self.assertEqual(overload(obj), (0.0, 0.0, 0.0))
        self.assertEqual(obj.Compute_Crackrate(10, 0.5, 1000000, 0.0),
                         obj.Calc_Crackrate(10, 0.5, 1000000, 0.0))


# Subclasses at module level, so that pickle finds them by name.
class Labelled(CR):
    """A subclass whose initialisation takes other arguments."""
    def __init__(self, label, material):
        CR.__init__(self, material, 0)
        self.label = label


class Slotted(CR):
    """A subclass with slots and an initialisation without arguments."""
    __slots__ = ("name", "cycles", "unset")

    def __init__(self):
        CR.__init__(self, REFERENCE, 1)
        self.name = "crack B"
        self.cycles = [0]


def bits(x):
    return struct.pack("<d", x)


def history(obj, start=0):
    """A load history with overloads, retardation and a reset: the bit
    patterns of its rates."""
    rates = []
    for i in range(start, start + 40):
        dK = 30.0 if i % 13 == 0 else 10.0 + (i % 7) * 0.5
        rates.append(bits(obj.Compute_Crackrate(dK, 0.5 + i * 1e-5, 1000 * i, 0.1 * (i % 3))))
        if i % 29 == 28:
            obj.SetKol()
    return rates


class CopyTest(unittest.TestCase):

    def test_every_route_continues_the_same_history_bit_for_bit(self):
        # Constants that pickles must carry exactly: signed zeros, values
        # without a short decimal form, an infinity.
        material = list(REFERENCE) + [2.5]
        material[0] = -0.0
        material[6] = 1.0 / 3 * 1e-10
        material[19] = float("inf")
        for flag in (0, 1):
            original = CR(material, flag)
            history(original)
            overloaded = overload(original)
            self.assertNotEqual(overloaded, (0.0, 0.0, 0.0))
            twin = copy.copy(original)
            expected = history(twin, 40)
            for how, way in roundtrip.ways():
                duplicate = way(original)
                self.assertIs(type(duplicate), CR, how)
                self.assertEqual([bits(v) for v in values(duplicate)],
                                 [bits(v) for v in values(original)], how)
                self.assertEqual(overload(duplicate), overloaded, how)
                self.assertEqual(history(duplicate, 40), expected, how)
                # The original's history is its own.
                self.assertEqual(overload(original), overloaded, how)

    def test_the_reduction_carries_the_constants_flag_and_overload_state(self):
        args = CR(REFERENCE, 1).__reduce__()[1]
        self.assertEqual(len(args), 3)
        self.assertEqual(args[0], tuple(float(v) for v in REFERENCE) + (3.0,))
        self.assertEqual(args[1:], (1, (0.0, 0.0, 0.0)))
        self.assertEqual(Slotted().__reduce__()[1][3:], (Slotted,))

    def test_rebuild_refuses_bad_input_with_type_error(self):
        constants = tuple(float(v) for v in REFERENCE) + (3.0,)
        state = (0.0, 0.0, 0.0)
        bad = [(), (constants,), (constants, 1), (5, 1, state), (constants[:19], 1, state),
               (constants + (1.0,), 1, state), (constants[:20] + ("x",), 1, state),
               (constants, "1", state), (constants, 1.5, state), (constants, 1, (0.0, 0.0)),
               (constants, 1, ("a", 0.0, 0.0)), (constants, 1, None), (constants, 1, state, 5),
               (constants, 1, state, int), (constants, 1, state, object),
               (constants, 1, state, Slotted, 5)]
        for args in bad:
            self.assertRaises(TypeError, Crackrate._rebuild, *args)
        rebuilt = Crackrate._rebuild(constants, 0, (30.0, 0.25, 0.5), Slotted)
        self.assertIs(type(rebuilt), Slotted)
        self.assertEqual(overload(rebuilt), (30.0, 0.25, 0.5))
        self.assertEqual(rebuilt.Kc, 40.0)


def finishes(script, seconds=20):
    """Runs script in a child interpreter; True when it exits cleanly
    within the time limit (a hang is killed)."""
    with open(os.devnull, "w") as quiet:
        proc = subprocess.Popen([sys.executable, "-B", "-c", textwrap.dedent(script)],
                                stdout=quiet, stderr=quiet, env=os.environ.copy())
        deadline = time.time() + seconds
        while proc.poll() is None and time.time() < deadline:
            time.sleep(0.05)
        if proc.poll() is None:
            proc.kill()
            proc.wait()
            return False
    return proc.returncode == 0


class NoHangTest(unittest.TestCase):
    """Constants and arguments on which the tangent bisection as first
    written never ends, and degenerate input for the retardation solver."""

    def test_degenerate_constants_and_arguments_return(self):
        self.assertTrue(finishes("""
            from Crackrate import Crackrate
            base = %r
            def model(**changes):
                names = ["UTS", "YS", "Kie", "Kic", "Ak", "Bk", "C", "n", "p", "q", "DK1",
                         "Cthp", "Cthm", "Rcl", "alfa", "ratio", "R", "a0", "np", "damp", "Rso"]
                c = list(base) + [3.0]
                for k, v in changes.items():
                    c[names.index(k)] = v
                return Crackrate(c, 1)
            inf, nan = float("inf"), float("nan")
            # Kc = inf: the bracket's upper end is infinite.
            model(Kie=inf).Calc_Crackrate(5, 0.5, 0)
            # A large Kc: the bracket ends where doubles are spaced wider
            # than its tolerance.
            model(Kie=1e30).Calc_Crackrate(5, 0.5, 0)
            # A threshold whose bracket starts at 0 or below.
            model(DK1=0.0).Calc_Crackrate(5, 0.5, 0)
            model(DK1=-5.0).Calc_Crackrate(5, 0.5, 0)
            model(DK1=-5.0, Kie=-60.0).Calc_Crackrate(5, 0.5, 0)
            for m in (model(Rso=1.0), model(YS=0.0), model(Rso=nan), model(np=inf)):
                for i in range(50):
                    m.Compute_Crackrate(30.0 - 0.5 * i, 0.5 + 1e-6 * i, 0, 0.1)
        """ % (REFERENCE,)))


class MemoryTest(unittest.TestCase):

    def test_no_growth_over_every_method_and_failing_calls(self):
        obj = CR(REFERENCE, 1)
        empty = CR.__new__(CR)
        labelled = Labelled("crack A", REFERENCE)
        slotted = Slotted()
        constants = obj.__reduce__()[1][0]
        protocols = range(pickle.HIGHEST_PROTOCOL + 1)

        def loop():
            for i in range(2000):
                obj.Calc_Crackrate(10, 0.5, i)
                obj.Calc_Crackrate(2, 0.5, 0, 0.1, -1.0)
                obj.CalcKeff(10, i)
                obj.Calc_DKth(0.5, 0.1)
                obj.Paris(10)
                obj.CalcReff(i, 0.1)
                obj.Setf(0.3)
                obj.dDKthbydReff(0.5, -0.2)
                obj.Compute_Crackrate(20 - (i % 20), 0.5 + i * 1e-6, i, 0.1)
                obj.Crackrate(10, 0.5, i, 0.1)
                obj.SetKol()
                [getattr(obj, name) for name in NAMES]
                copy.deepcopy(obj)
                if i % 20 == 0:
                    for protocol in protocols:
                        pickle.loads(pickle.dumps(obj, protocol))
                        pickle.loads(pickle.dumps(labelled, protocol))
                        pickle.loads(pickle.dumps(slotted, protocol))
                    copy.copy(slotted)
                    rss.calls(pickle.dumps, empty)()
                    rss.calls(Crackrate._rebuild, constants, 1, (0.0, 0.0))()
                    rss.calls(Crackrate._rebuild, constants, 1, (0.0, 0.0, 0.0), int)()
                obj.Paris(2 ** 70)
                rss.calls(obj.Paris, 10 ** 400)()
                rss.calls(obj.CalcReff, 2 ** 63, 0.1)()
                CR(REFERENCE, 1)
                obj.__init__(REFERENCE, 0)
                rss.calls(CR, REFERENCE[:19] + ["x"], 1)()
                rss.calls(obj.__init__, NoItems(), 1)()
                rss.calls(obj.Calc_Crackrate, 1, 2)()
                rss.calls(empty.Setf, 0.1)()
                rss.calls(getattr, empty, "Kc")()
        rss.assert_no_growth(self, loop)


if __name__ == "__main__":
    unittest.main()
