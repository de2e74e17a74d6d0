"""Behaviour of the Seqmath functions: results, operand order, refusals and
their messages, and memory over many calls."""
import operator
import unittest

import Seqmath
from Seqmath import Plus, Minus, Star, Divide, ScalarMult
from Triad import Triad
from rss import assert_no_growth, calls
from dialect import PY3, long_type, python2_only, python3_only, type_name
from messages import MessageAssertions

BINARY = [Plus, Minus, Star, Divide]
# The interpreter's `/`: classic division under Python 2.7, true division
# under Python 3.
SLASH = operator.truediv if PY3 else operator.div


def comps(v):
    return (v.x(), v.y(), v.z())


class Vec(object):
    """A sequence without fast access: the functions copy it into a view."""
    def __init__(self, *items):
        self.items = list(items)

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


class Opaque(object):
    """Passes the sequence check and has a length, but cannot be iterated."""
    def __len__(self):
        return 1

    def __getitem__(self, i):
        raise TypeError("inner")

    def __iter__(self):
        return 42


class ModuleTest(unittest.TestCase):
    def test_functions_and_texts(self):
        self.assertIn("Elementwise arithmetic", Seqmath.__doc__)
        names = sorted(n for n in dir(Seqmath) if not n.startswith('_'))
        self.assertEqual(names, ['Divide', 'Minus', 'Plus', 'ScalarMult', 'Star'])
        self.assertEqual([f.__doc__ for f in BINARY + [ScalarMult]],
                         ["Add two sequences", "Subtract two sequences",
                          "Multiply two sequences", "Divide two sequences",
                          "Vector/Scalar multiply"])


class ResultTest(MessageAssertions, unittest.TestCase):
    def test_worked_cases(self):
        self.assertEqual(Plus([1, 2], (3.5, 4)), [4.5, 6])
        self.assertEqual(Minus([1], [3]), [-2])
        self.assertEqual(Plus([], []), [])
        self.assertEqual(ScalarMult((), 3), [])
        self.assertEqual(ScalarMult([[1]], 2), [[1, 1]])
        self.assertEqual(Plus(["a"], ["b"]), ["ab"])
        self.assertEqual(Star([Triad(1, 2, 3)], [Triad(1, 1, 1)]), [6.0])

    def test_any_sequences_and_a_fresh_list(self):
        a = [1, 2, 3]
        for first, second in [(a, (1, 1, 1)), (Vec(1, 2, 3), [1, 1, 1]), ("123", "abc")]:
            r = Plus(first, second)
            self.assertEqual(type(r), list)
            self.assertIsNot(r, first)
        self.assertEqual(Plus("12", "ab"), ["1a", "2b"])
        self.assertEqual(Plus(Vec(1, 2), Vec(10, 20)), [11, 22])
        self.assertEqual(ScalarMult(Vec(1.5, 2), long_type(2)), [3.0, long_type(4)])

    @python2_only('classic division of ints floors the quotient')
    def test_classic_division_of_ints_floors(self):
        r = Divide([7, 7.0], [2, 2])
        self.assertEqual(r, [3, 3.5])
        self.assertEqual(type(r[0]), int)
        self.assertEqual(Divide([-7, 7], [2, -2]), [-4, -4])

    @python3_only('true division of ints gives floats')
    def test_true_division_of_ints_gives_floats(self):
        r = Divide([7, 7.0, -7, 7, 6, 10 ** 30, True], [2, 2, 2, -2, 3, 10 ** 29, 4])
        self.assertEqual(r, [3.5, 3.5, -3.5, -3.5, 2.0, 10.0, 0.25])
        self.assertEqual(set(map(type, r)), set([float]))
        self.assertEqual(repr(Divide([0], [-5])), '[-0.0]')

    def test_first_sequence_gives_the_left_operand(self):
        self.assertEqual(Minus([5, 1.5], [3, 4]), [2, -2.5])
        self.assertEqual(Divide([1.0, 4], [4, 1.0]), [0.25, 4.0])
        self.assertEqual(Plus([[1], "a"], [[2], "b"]), [[1, 2], "ab"])
        self.assertEqual(Star(["ab", 2], [2, "xy"]), ["abab", "xyxy"])
        self.assertEqual(ScalarMult(["ab", (1,)], 2), ["abab", (1, 1)])
        d = Minus([Triad(1, 2, 3)], [Triad(1, 1, 1)])[0]
        self.assertEqual((type(d), comps(d)), (Triad, (0.0, 1.0, 2.0)))
        self.assertEqual(comps(Divide([Triad(2, 4, 6)], [2])[0]), (1.0, 2.0, 3.0))
        self.assertEqual(comps(Star([2], [Triad(1, 2, 3)])[0]), (2.0, 4.0, 6.0))
        self.assertEqual(comps(ScalarMult([Triad(1, 2, 3)], 0.5)[0]), (0.5, 1.0, 1.5))
        self.assertFails(TypeError, "Can only divide a Triad by a number",
                         lambda: Divide([2], [Triad(1, 2, 3)]))


class RefusalTest(MessageAssertions, unittest.TestCase):
    def test_messages_in_the_written_order(self):
        for fn in BINARY:
            self.assertFails(TypeError, "Both arguments must be sequences", fn, 1, [1])
            self.assertFails(TypeError, "Both arguments must be sequences", fn, [1], {})
            # The sequence check comes before the lengths.
            self.assertFails(TypeError, "Both arguments must be sequences", fn, [1, 2], 1)
            self.assertFails(TypeError, "Both sequences must have the same length", fn, [1, 2], [1])
            self.assertFails(TypeError, "Both sequences must have the same length", fn, [], "x")
            self.assertFails(TypeError, "function takes exactly 2 arguments (1 given)", fn, [1])
        self.assertFails(TypeError, "First argument must be sequences", ScalarMult, 5, 2)
        self.assertFails(TypeError, "First argument must be sequences", ScalarMult, 5, "x")
        self.assertFails(TypeError, "Second argument must be a number", ScalarMult, [1], "x")
        self.assertFails(TypeError, "Second argument must be a number", ScalarMult, [1], [2])

    def interpreters_message(self, exc, fn, *args):
        with self.assertRaises(exc) as cm:
            fn(*args)
        return str(cm.exception)

    def test_element_failures_are_the_interpreters(self):
        for x, y in [(1, 0), (2, 0.0), (1.5, 0), (10 ** 30, 0), (1, False), (True, -0.0)]:
            self.assertFails(ZeroDivisionError,
                       self.interpreters_message(ZeroDivisionError, SLASH, x, y),
                       Divide, [1, x], [1, y])
        self.assertFails(TypeError, "unsupported operand type(s) for +: 'int' and 'str'",
                   Plus, [1], ["a"])
        self.assertFails(TypeError, "can't multiply sequence by non-int of type 'float'",
                   ScalarMult, ["ab"], 1.5)

    def test_an_object_without_a_length_fails_with_the_interpreters_error(self):
        # A Triad passes the sequence check but has no length.
        v = Triad(1, 2, 3)
        message = "object of type '%s' has no len()" % type_name('Triad', 'Triad')
        self.assertFails(TypeError, message, Plus, v, v)
        self.assertFails(TypeError, message, Plus, [1, 2, 3], v)
        self.assertFails(TypeError, message, ScalarMult, v, 2)

        class NoLength:
            def __getitem__(self, i):
                return 1
        # An old-style instance looks its length up as an attribute; under
        # Python 3 the class is an ordinary one without a length slot.
        self.assertRaises(TypeError if PY3 else AttributeError, Minus, NoLength(), NoLength())

    def test_a_length_that_fails_stops_before_the_second_is_taken(self):
        taken = []

        class Bad(Vec):
            def __len__(self):
                taken.append(self)
                raise ValueError("no length today")
        first, second = Bad(), Bad()
        self.assertFails(ValueError, "no length today", Star, first, second)
        self.assertEqual(taken, [first])

    def test_an_object_that_cannot_be_iterated_gets_the_view_message(self):
        self.assertFails(TypeError, "type error", Plus, Opaque(), [1])
        self.assertFails(TypeError, "type error", Plus, [1], Opaque())
        self.assertFails(TypeError, "type error", ScalarMult, Opaque(), 1)


class MemoryTest(unittest.TestCase):
    def test_calls_that_succeed_and_fail_keep_memory_flat(self):
        floats = [float(i) for i in range(200)]
        ints = list(range(200))
        huge = [10 ** 30 + i for i in range(200)]
        mixed = ints[:150] + ["x"] + ints[151:]
        zeros = ints[:100] + [0] + ints[101:]
        v = Triad(1, 2, 3)
        work = [calls(fn, first, second) for fn in BINARY
                for first, second in [(floats, ints), (ints, tuple(floats)), (mixed, ints),
                                      (ints, mixed), (ints, zeros), (Vec(*ints), ints),
                                      (ints, ints[:5]), (v, v), (1, ints), (ints[:1], Opaque()),
                                      (huge, ints), (ints, huge), (huge, floats)]]
        work += [calls(ScalarMult, s, k)
                 for s in (floats, ints, huge, mixed, Vec(*ints), v, 3, Opaque())
                 for k in (2, 2.5, long_type(2), 10 ** 30, "x")]
        work += [calls(Plus, [sum], [1]), calls(Plus, [[1]] * 100, [[2]] * 100)]

        def loop():
            for _ in range(100):
                for call in work:
                    call()
        assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
