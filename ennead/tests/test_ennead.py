"""The Ennead full tensor: construction, arithmetic, matrix product, access
by row and column in both forms, printed form, copies, memory stability."""
import copy
import math
import operator
import pickle
import sys
import unittest

import Ennead
from Ennead import Ennead as E
from dialect import (PY3, divide, inplace_divide, long_type, python2_only, python3_only,
                     range_, type_name)
from roundtrip import CopyCases
from rss import assert_no_growth, assert_ops_no_growth, calls

BOTH = "Both operands should be Ennead instances"
MULTIPLY = "Can only multiply a number or a Ennead with a Ennead instance"
DIVIDE = "Can only divide a Ennead by a number"
IADD = "Can only add a Ennead to a Ennead instance"
ISUB = "Can only subtract a Ennead to a Ennead instance"
IMUL = "Can only in-place multiply a Ennead by a number"
ROW = "Ennead row index must be 0-2"
COLUMN = "Ennead column index must be 0-2"
ASSIGN = "Can only assign a number to a Ennead item"
NAMES = ['xx', 'xy', 'xz', 'yx', 'yy', 'yz', 'zx', 'zy', 'zz']
IDENTITY = (1, 0, 0, 0, 1, 0, 0, 0, 1)
TWO_INDICES = "Ennead components take a row and a column: t[row, column] or t[row:column]"
# Python 3 ints beyond a double's range.
HUGE = 10 ** 400


# Subclasses: of the tensor (refused as an operand, accepted as a receiver)
# and of the two number types (accepted as numbers).
# Named as bound, so that pickle finds them.
Sub, IntSub, FloatSub = [type(name, (base,), {})
                         for name, base in [('Sub', E), ('IntSub', int), ('FloatSub', float)]]


# The subclasses the copy cases need (see roundtrip.CopyCases).
class Slotted(E):
    __slots__ = ('a', 'b')


class Mixed(E):
    __slots__ = ('a', '__dict__')


class Stateful(E):
    def __getstate__(self):
        return {'kept': 'by getstate'}

    def __setstate__(self, state):
        self.restored = state


class Labelled(E):
    inits = 0

    def __init__(self, label):
        E.__init__(self, *range(1, 10))
        Labelled.inits += 1
        self.label = label


def values(t):
    return [getattr(t, name)() for name in NAMES]


class Case(unittest.TestCase):
    def assertFails(self, exc, message, fn, *args):
        with self.assertRaises(exc) as cm:
            fn(*args)
        self.assertEqual(str(cm.exception), message)


class TestModuleAndConstruction(Case):
    def test_texts(self):
        self.assertEqual(Ennead.__doc__, "Module that implements a full 2nd order (3-by-3) tensor")
        self.assertEqual(E.__name__, "Ennead")
        self.assertEqual(E.__doc__, "Ennead objects")
        self.assertEqual([getattr(E, n).__doc__ for n in NAMES],
                         ["%s component" % n for n in NAMES])
        self.assertIn('Triad', sys.modules)
        self.assertEqual(repr(E), ("<class 'Ennead.Ennead'>" if PY3 else "<type 'Ennead'>"))
        self.assertEqual(E.__module__, 'Ennead' if PY3 else '__builtin__')

    def test_construction_row_by_row(self):
        t = E(1, long_type(2), 3.5, True, FloatSub(5), IntSub(6), 7, 8, 9, k=1)
        self.assertEqual(values(t), [1, 2, 3.5, 1, 5, 6, 7, 8, 9])
        for args in [(), (1, 2, 3), tuple(range(10)), ("a",) + tuple(range(8))]:
            self.assertRaises(TypeError, E, *args)

    def test_fresh_tensor_is_zero_and_failed_init_keeps_components(self):
        self.assertEqual(values(E.__new__(E)), [0.0] * 9)
        self.assertEqual(values(E.__new__(Sub)), [0.0] * 9)
        t = E(*range(9))
        self.assertRaises(TypeError, t.__init__, 1, 2, 3, 4, 5, 6, 7, 8, "x")
        self.assertEqual(values(t), list(range(9)))
        if PY3:
            self.assertRaises(OverflowError, t.__init__, 1, 2, 3, 4, 5, 6, 7, 8, HUGE)
            self.assertEqual(values(t), list(range(9)))
            self.assertEqual(values(E(*[2 ** 64 + 2 ** 11 + 1] * 9)), [2.0 ** 64 + 2.0 ** 12] * 9)

    def test_absent_protocols(self):
        t = E(*range(9))
        for fn in [len, abs, float, iter, lambda x: -x, lambda x: +x, lambda x: x // 2,
                   lambda x: x ** 2, lambda x: x % 2]:
            self.assertRaises(TypeError, fn, t)
        self.assertRaises(TypeError, t.xx, 1)
        self.assertFalse(E(*range(9)) == E(*range(9)))
        with self.assertRaises(TypeError) as cm:
            t ** 2
        self.assertEqual(str(cm.exception), "unsupported operand type(s) for ** or pow(): "
                         "'%s' and 'int'" % type_name('Ennead', 'Ennead'))


class TestArithmetic(Case):
    def setUp(self):
        self.t = E(1, 2, 3, 4, 5, 6, 7, 8, 9)
        self.s = E(0.5, -1, 2, 0, 3, -2, 1, 1, 1)

    def test_sum_and_difference(self):
        r = self.t + self.s
        self.assertIs(type(r), E)
        self.assertEqual(values(r), [1.5, 1, 5, 4, 8, 4, 8, 9, 10])
        self.assertEqual(values(self.t - self.s), [0.5, 3, 1, 4, 2, 8, 6, 7, 8])
        self.assertEqual(values(self.t), list(range(1, 10)))
        for other in [1, 1.0, tuple(range(9)), Sub(*range(9)), None, HUGE]:
            for op in (operator.add, operator.sub):
                self.assertFails(TypeError, BOTH, op, self.t, other)
                self.assertFails(TypeError, BOTH, op, other, self.t)

    def test_identity_products_both_ways(self):
        t = E(1, 2, 3, 4, 5, 6, 7, 8, 9)
        for p in (t * E(*IDENTITY), E(*IDENTITY) * t):
            self.assertIs(type(p), E)
            self.assertEqual(str(p), "1 2 3 4 5 6 7 8 9")

    def test_product_does_not_commute(self):
        a = E(0, 1, 0, 0, 0, 0, 0, 0, 0)
        b = E(0, 0, 0, 1, 0, 0, 0, 0, 0)
        self.assertEqual(values(a * b), [1, 0, 0, 0, 0, 0, 0, 0, 0])
        self.assertEqual(values(b * a), [0, 0, 0, 0, 1, 0, 0, 0, 0])
        # The left operand's row with the right operand's column.
        self.assertEqual(values(self.t * self.s),
                         [3.5, 8, 1, 8, 17, 4, 12.5, 26, 7])
        self.assertFails(TypeError, MULTIPLY, operator.mul, self.t, Sub(*IDENTITY))
        self.assertFails(TypeError, MULTIPLY, operator.mul, Sub(*IDENTITY), self.t)

    def test_product_sums_each_entry_from_the_left(self):
        a = E(1e16, 1, -1e16, 0, 0, 0, 0, 0, 0)
        b = E(1, 0, 0, 1, 0, 0, 1, 0, 0)
        self.assertEqual((a * b).xx(), (1e16 + 1.0) - 1e16)

    def test_scaling_forms_agree_and_longs_are_refused(self):
        expected = [2 * v for v in range(1, 10)]
        for scaled in [2 * self.t, self.t * 2, 2.0 * self.t, self.t * 2.0,
                       IntSub(2) * self.t, self.t * FloatSub(2.0), Sub(*range(1, 10)) * 2,
                       2.0 * Sub(*range(1, 10)), E.__rmul__(Sub(*range(1, 10)), 2)]:
            self.assertIs(type(scaled), E)
            self.assertEqual(values(scaled), expected)
        self.assertEqual(values(True * self.t), values(self.t))
        self.assertIsNot(True * self.t, self.t)
        for other in [1j, "2", None, [2]]:
            self.assertFails(TypeError, MULTIPLY, operator.mul, self.t, other)
            self.assertFails(TypeError, MULTIPLY, operator.mul, other, self.t)
        self.assertFails(TypeError, MULTIPLY, E.__mul__, self.t, "x")

    @python3_only('ints of any size')
    def test_large_int_scaling_rounds_or_overflows(self):
        big = 2 ** 64 + 2 ** 11 + 1  # not a double: rounds to 2**64 + 2**12
        self.assertEqual(values(self.t * big), [v * (2.0 ** 64 + 2.0 ** 12) for v in range(1, 10)])
        self.assertEqual(values(big * self.t), values(self.t * big))
        self.assertEqual(values(self.t / big), values(self.t / float(big)))
        for other in (HUGE, -HUGE):
            self.assertRaises(OverflowError, operator.mul, self.t, other)
            self.assertRaises(OverflowError, operator.mul, other, self.t)
            self.assertRaises(OverflowError, operator.truediv, self.t, other)
            self.assertRaises(OverflowError, operator.imul, self.t, other)
            self.assertRaises(OverflowError, operator.itruediv, self.t, other)
        self.assertEqual(values(self.t), list(range(1, 10)))

    def test_ieee_division(self):
        self.assertEqual(values(self.t / 2), [v / 2.0 for v in range(1, 10)])
        self.assertEqual(values(self.t / True), values(self.t))
        r = E(1, -1, 0, 0, 0, 0, 0, 0, 0) / 0
        self.assertEqual(r.xx(), float("inf"))
        self.assertEqual(r.xy(), float("-inf"))
        self.assertTrue(math.isnan(r.xz()))
        for other in [self.s, "x", None]:
            self.assertFails(TypeError, DIVIDE, divide, self.t, other)
        self.assertFails(TypeError, DIVIDE, divide, 2, self.t)
        self.assertFails(TypeError, DIVIDE, divide, Sub(*range(9)), 2)

    @python2_only('longs, which are no number operands')
    def test_longs_are_refused(self):
        two = long_type(2)
        self.assertFails(TypeError, MULTIPLY, operator.mul, self.t, two)
        self.assertFails(TypeError, MULTIPLY, operator.mul, two, self.t)
        self.assertFails(TypeError, DIVIDE, divide, self.t, two)
        self.assertFails(TypeError, IMUL, operator.imul, self.t, two)
        self.assertFails(TypeError, DIVIDE, inplace_divide, self.t, two)
        self.assertFails(TypeError, ASSIGN, operator.setitem, self.t, (1, 1), two)

        def set_slice():
            self.t[1:1] = two
        self.assertFails(TypeError, ASSIGN, set_slice)
        self.assertEqual(values(self.t), list(range(1, 10)))

    @python3_only('true division is the only /')
    def test_true_division_is_ieee_and_floor_division_absent(self):
        t = E(1, -1, 0, -0.0, 2, 0, 0, 0, 0)
        r = operator.truediv(t, 0)
        self.assertEqual(values(r)[:2], [float("inf"), float("-inf")])
        self.assertTrue(math.isnan(r.xz()) and math.isnan(r.yx()))
        self.assertEqual(values(t / -0.0)[:2], [float("-inf"), float("inf")])
        alias = t
        t /= False
        self.assertIs(t, alias)
        self.assertEqual(values(t)[:2], [float("inf"), float("-inf")])
        for expr in [lambda: self.t // 2, lambda: 2 // self.t, lambda: self.t // self.t]:
            with self.assertRaises(TypeError) as cm:
                expr()
            self.assertIn("unsupported operand type(s) for //", str(cm.exception))
        with self.assertRaises(TypeError) as cm:
            self.t // 2
        self.assertEqual(str(cm.exception),
                         "unsupported operand type(s) for //: 'Ennead.Ennead' and 'int'")
        self.assertRaises(TypeError, operator.ifloordiv, self.t, 2)
        self.assertEqual(values(self.t), list(range(1, 10)))

    def test_in_place_forms_change_and_return_the_left_operand(self):
        t = self.t
        alias = t
        t += self.s
        t -= self.s
        t *= 2
        t /= 4.0
        self.assertIs(t, alias)
        self.assertEqual(values(alias), [v / 2.0 for v in range(1, 10)])
        s = Sub(*range(9))
        sub_alias = s
        s += E(*IDENTITY)
        s *= 2
        self.assertIs(s, sub_alias)
        self.assertIs(type(s), Sub)
        self.assertEqual(values(s), [2, 2, 4, 6, 10, 10, 12, 14, 18])

    def test_no_in_place_product_and_messages_differ_from_division(self):
        t = E(*range(9))
        cases = [(operator.imul, "x", IMUL),
                 (operator.imul, E(*IDENTITY), IMUL), (inplace_divide, "x", DIVIDE),
                 (inplace_divide, t, DIVIDE), (operator.iadd, 1, IADD),
                 (operator.iadd, Sub(*range(9)), IADD), (operator.isub, 1.0, ISUB),
                 (operator.isub, None, ISUB)]
        for op, other, message in cases:
            self.assertFails(TypeError, message, op, t, other)
        self.assertFails(TypeError, DIVIDE, divide, t, "x")
        self.assertEqual(values(t), list(range(9)))


class TestComponentAccess(Case):
    """t[r:c] and t[r, c] reach the same read and assignment."""

    def setUp(self):
        self.t = E(1, 2, 3, 4, 5, 6, 7, 8, 9)

    def test_both_forms_read_row_by_row(self):
        t = self.t
        for r in range(3):
            for c in range(3):
                self.assertEqual(t[r:c], 3 * r + c + 1)
                self.assertEqual(t[r, c], 3 * r + c + 1)
        self.assertEqual((t[long_type(1):2], t[True, long_type(2)], t[:1]), (6.0, 6.0, 2.0))
        self.assertEqual((t[True:False], t[IntSub(2):IntSub(1)], t[2, IntSub(0)]),
                         (4.0, 8.0, 7.0))
        self.assertFails(IndexError, COLUMN, lambda: t[:])

    def test_index_objects_as_bounds(self):
        class Index(object):
            def __init__(self, i):
                self.i = i

            def __index__(self):
                return self.i
        t = self.t
        self.assertEqual((t[Index(2):Index(1)], t[Index(1), Index(0)]), (8.0, 4.0))
        t[Index(0):Index(2)] = 30
        t[Index(2), Index(2)] = 90
        self.assertEqual((t.xz(), t.zz()), (30.0, 90.0))
        self.assertFails(IndexError, ROW, lambda: t[Index(3):Index(0)])
        self.assertFails(IndexError, COLUMN, lambda: t[Index(0), Index(-1)])

    def test_both_forms_assign(self):
        t = self.t
        t[0:1] = 20
        t[1, 0] = 2.5
        t[2:2] = True
        t[2, 1] = FloatSub(-1)
        self.assertEqual(values(t), [1, 20, 3, 2.5, 5, 6, 7, -1, 1])

    def test_row_is_checked_before_column_then_value(self):
        huge = [2 ** 31, 2 ** 32, 2 ** 32 + 1, 2 ** 63, 2 ** 64 + 1, 10 ** 30]
        cases = [((3, 5), ROW), ((3, 0), ROW), ((-1, 0), ROW), ((0, -1), COLUMN),
                 ((2, 3), COLUMN), ((1, -2 ** 32), COLUMN)]
        cases += [((h, 0), ROW) for h in huge] + [((0, h), COLUMN) for h in huge]
        cases += [((-h, 1), ROW) for h in huge]
        for (r, c), message in cases:
            self.assertFails(IndexError, message, lambda: self.t[r:c])
            self.assertFails(IndexError, message, lambda: self.t[r, c])

            def set_slice():
                self.t[r:c] = "not a number"

            def set_key():
                self.t[r, c] = "not a number"
            self.assertFails(IndexError, message, set_slice)
            self.assertFails(IndexError, message, set_key)
        self.assertFails(IndexError, COLUMN, lambda: self.t[1:])

        for bad in ["a", None, 1j, E(*IDENTITY)]:
            def set_slice():
                self.t[1:1] = bad

            def set_key():
                self.t[1, 1] = bad
            self.assertFails(TypeError, ASSIGN, set_slice)
            self.assertFails(TypeError, ASSIGN, set_key)
        self.assertEqual(values(self.t), list(range(1, 10)))

    def test_a_single_index_or_other_key_asks_for_a_row_and_a_column(self):
        t = self.t
        for key in [0, long_type(1), -1, (0,), (0, 1, 2), "a", (0, "a"), (1.0, 0),
                    slice(0, 1, 1), slice(0.0, 1), slice("a", 1), slice(0, None, 2),
                    slice(None, None, -1), (slice(0, 1), 0), [0, 1], None]:
            with self.assertRaises(TypeError) as cm:
                t[key]
            self.assertIn("row and a column", str(cm.exception))

            def assign():
                t[key] = 1.0
            self.assertRaises(TypeError, assign)
        self.assertEqual(values(t), list(range(1, 10)))

    def test_steps_and_bounds_that_are_no_indices_are_refused(self):
        t = self.t
        for get in [lambda: t[0:1:1], lambda: t[::1], lambda: t[1:2:2], lambda: t[0.0:1],
                    lambda: t["a":1], lambda: t[0:1.5], lambda: t[None:1j]]:
            self.assertFails(TypeError, TWO_INDICES, get)

        def set_step():
            t[0:1:1] = 5

        def set_float_bound():
            t[0:1.0] = 5
        self.assertFails(TypeError, TWO_INDICES, set_step)
        self.assertFails(TypeError, TWO_INDICES, set_float_bound)
        self.assertEqual(values(t), list(range(1, 10)))

    @python3_only('t[r:c] arrives as a slice key, which cannot tell t[r:c:None] from t[r:c]')
    def test_slice_key_with_no_step_is_a_component(self):
        t = self.t
        self.assertEqual((t[1:2:None], t[2:0:], t[:2:None]), (6.0, 7.0, 3.0))
        self.assertEqual(t[slice(1, 0)], 4.0)
        t[0:0:None] = 11
        self.assertEqual(t.xx(), 11.0)
        # Bounds beyond the index range are clamped, then fail the range check.
        self.assertFails(IndexError, ROW, lambda: t[2 ** 100:0])
        self.assertFails(IndexError, COLUMN, lambda: t[0:-2 ** 100])

    @python3_only('ints of any size')
    def test_assigned_ints_beyond_a_double_overflow_after_the_index_checks(self):
        t = self.t

        def assign(key, value):
            t[key] = value
        for key in [slice(1, 1), (1, 1), slice(None, 2)]:
            self.assertRaises(OverflowError, assign, key, HUGE)
        self.assertFails(IndexError, ROW, assign, slice(5, 0), HUGE)
        self.assertFails(IndexError, COLUMN, assign, (0, 3), -HUGE)
        self.assertFails(TypeError, TWO_INDICES, assign, slice(0, 1, 1), HUGE)
        t[0:1] = 2 ** 64 + 2 ** 11 + 1
        self.assertEqual(t[0, 1], 2.0 ** 64 + 2.0 ** 12)
        self.assertEqual(values(t)[2:], list(range(3, 10)))

    @python3_only('no two-index slots: t[r:c] goes through the mapping protocol')
    def test_slices_go_through_the_mapping_protocol(self):
        t = self.t
        self.assertFalse(hasattr(t, '__getslice__') or hasattr(t, '__setslice__'))
        self.assertEqual(t.__getitem__(slice(1, 2)), 6.0)
        t.__setitem__(slice(0, 0), 5)
        self.assertEqual(t.xx(), 5.0)
        self.assertFails(TypeError, "Ennead items cannot be deleted", t.__delitem__, slice(0, 0))

    @python2_only('the two-index slots, which take t[r:c]; a slice key goes to the mapping '
                  'protocol, which refuses it')
    def test_slices_go_through_the_two_index_slots(self):
        t = self.t
        self.assertEqual(t.__getslice__(1, 2), 6.0)
        t.__setslice__(0, 0, 5)
        self.assertEqual(t.xx(), 5.0)
        self.assertFails(TypeError, "Ennead items cannot be deleted", t.__delslice__, 0, 0)
        self.assertFails(TypeError, TWO_INDICES, t.__getitem__, slice(1, 2))
        self.assertFails(TypeError, TWO_INDICES, lambda: t[slice(1, 2, None)])
        self.assertFails(TypeError, TWO_INDICES, lambda: t[1:2:None])
        self.assertEqual(t[1:2], 6.0)

    def test_index_conversions_that_raise_propagate(self):
        class Bad(object):
            def __index__(self):
                raise ZeroDivisionError("no index")
        self.assertRaises(ZeroDivisionError, lambda: self.t[Bad(), 0])
        self.assertRaises(ZeroDivisionError, lambda: self.t[Bad():0])

    def test_deleting_a_component_is_refused_in_both_forms(self):
        t = self.t

        def del_slice(r, c):
            del t[r:c]

        def del_key(r, c):
            del t[r, c]
        for r, c in [(0, 1), (2, 2), (5, 5), (-1, 0)]:
            self.assertRaises(TypeError, del_slice, r, c)
            self.assertRaises(TypeError, del_key, r, c)
        self.assertEqual(values(t), list(range(1, 10)))


class TestPrintedFormAndCopies(Case):
    def test_printed_form(self):
        t = E(1e6, 0.1, -0.0, 1.0 / 3, -2.5e-300, 123456789, 1, 2.5, -3)
        self.assertEqual(str(t), "1e+06 0.1 -0 0.333333 -2.5e-300 1.23457e+08 1 2.5 -3")
        self.assertEqual(repr(t), str(t))
        big = -1.7976931348623157e308
        self.assertEqual(str(E(*[big] * 9)), " ".join(["-1.79769e+308"] * 9))
        inf = float("inf")
        self.assertEqual(str(E(inf, -inf, *[0] * 7)).split()[:2], ["inf", "-inf"])

    def test_copies_keep_the_nine_components(self):
        t = E(1.5, -2, 1e300, 4, 5, 6, 7, 8, -0.25)
        for c in [copy.copy(t), copy.deepcopy(t)]:
            self.assertIs(type(c), E)
            self.assertIsNot(c, t)
            self.assertEqual(values(c), values(t))
        s = Sub(*range(9))
        s.label = ["F", 1]
        d = copy.deepcopy(s)
        self.assertIs(type(d), Sub)
        self.assertEqual(values(d), list(range(9)))
        self.assertEqual(d.label, ["F", 1])
        self.assertIsNot(d.label, s.label)


class TestEnneadCopyCases(CopyCases, unittest.TestCase):
    module, cls, size = Ennead, E, 9
    Sub, Slotted, Mixed, Labelled, Stateful = Sub, Slotted, Mixed, Labelled, Stateful
    read = staticmethod(values)


class TestMemory(unittest.TestCase):
    def test_no_growth_over_every_operation_including_failures(self):
        t, s, sub = E(*range(9)), E(*IDENTITY), Sub(*range(9))

        def set_slice():
            t[1:2] = 0.5

        def set_key():
            t[2, 0] = 1

        def fail_set():
            t[0, 0] = "a"

        def fail_delete():
            del t[0:0]
        ops = [lambda: t + s, lambda: t - s, lambda: t * s, lambda: t * 2.5, lambda: 2 * t,
               lambda: t / 2, lambda: t[1:2], lambda: t[1, 2], set_slice, set_key,
               lambda: str(t), lambda: E(*range(9)), lambda: Sub(*range(9)),
               lambda: sub * 2, lambda: copy.copy(t), lambda: sub.__reduce__(),
               lambda: t.zy(), calls(lambda: t + 1), calls(lambda: t * long_type(2)),
               calls(lambda: t * HUGE), calls(lambda: t / HUGE), calls(lambda: t // 2),
               lambda: t / 0, calls(lambda: t[1:2:None]), calls(lambda: t[0:1:1]),
               calls(lambda: t[2 ** 100:0]), calls(lambda: t[0.0:1]),
               calls(lambda: t / "x"), calls(lambda: t[3:0]), calls(lambda: t[0, 3]),
               calls(lambda: t[0]), calls(lambda: t[0, 2 ** 70]), calls(fail_set),
               calls(fail_delete), calls(E, 1, 2), calls(E, *(["a"] * 9))]
        assert_ops_no_growth(self, ops, 20000)

    def test_copies_and_pickles_no_growth(self):
        t, sub, slotted = E(*range(9)), Sub(*range(9)), Slotted(*range(9))
        sub.label = [1]
        slotted.b = 2
        labelled = Labelled("g")
        rebuild = Ennead._rebuild
        nine = tuple(float(i) for i in range(9))
        ops = [lambda: copy.copy(t), lambda: copy.deepcopy(sub), lambda: copy.copy(slotted),
               lambda: copy.deepcopy(labelled), lambda: rebuild(nine, Mixed),
               calls(rebuild, nine[1:]), calls(rebuild, nine, float), calls(rebuild, ("a",) * 9)]
        ops += [lambda p=p, x=x: pickle.loads(pickle.dumps(x, p))
                for p in range_(pickle.HIGHEST_PROTOCOL + 1) for x in (t, sub, slotted)]
        assert_ops_no_growth(self, ops, 2000)

    def test_in_place_no_growth(self):
        def loop():
            t, s = E(*range(9)), E(*IDENTITY)
            for _ in range(100000):
                t += s
                t -= s
                t *= 1.0
                t /= 1
                try:
                    t *= s
                except TypeError:
                    pass
        assert_no_growth(self, loop)


if __name__ == "__main__":
    unittest.main()
