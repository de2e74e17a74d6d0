"""The Ennead full tensor's own part: its texts, its matrix product and
access to its components by row and column in both forms; what it shares
with Triad and Hexad is tested once in
common/tests/test_value_type_scaffold.py."""
import operator
import sys
import unittest

import Ennead
from Ennead import Ennead as E
from dialect import long_type, python2_only, python3_only
from messages import MessageAssertions
from rss import assert_ops_no_growth, calls

MULTIPLY = "Can only multiply a number or a Ennead with a Ennead instance"
ROW = "Ennead row index must be 0-2"
COLUMN = "Ennead column index must be 0-2"
ASSIGN = "Can only assign a number to a Ennead item"
NAMES = ['xx', 'xy', 'xz', 'yx', 'yy', 'yz', 'zx', 'zy', 'zz']
IDENTITY = (1, 0, 0, 0, 1, 0, 0, 0, 1)
TWO_INDICES = "Ennead components take a row and a column: t[row, column] or t[row:column]"
# Python 3 ints beyond a double's range.
HUGE = 10 ** 400


# Subclasses: of the tensor (refused as an operand) and of the two number
# types (accepted as numbers and indices).
Sub, IntSub, FloatSub = [type(name, (base,), {})
                         for name, base in [('Sub', E), ('IntSub', int), ('FloatSub', float)]]


def values(t):
    return [getattr(t, name)() for name in NAMES]


class Case(MessageAssertions, unittest.TestCase):
    pass


class TestModule(Case):
    def test_texts(self):
        self.assertEqual(Ennead.__doc__, "Module that implements a full 2nd order (3-by-3) tensor")
        self.assertEqual([getattr(E, n).__doc__ for n in NAMES],
                         ["%s component" % n for n in NAMES])
        self.assertIn('Triad', sys.modules)

    def test_no_sequence_protocol_and_no_argument_components(self):
        t = E(*range(9))
        self.assertRaises(TypeError, iter, t)
        self.assertRaises(TypeError, t.xx, 1)


class TestProduct(Case):
    def setUp(self):
        self.t = E(1, 2, 3, 4, 5, 6, 7, 8, 9)
        self.s = E(0.5, -1, 2, 0, 3, -2, 1, 1, 1)

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

    @python2_only('longs, which are no number operands')
    def test_longs_are_refused_as_component_values(self):
        two = long_type(2)
        self.assertFails(TypeError, ASSIGN, operator.setitem, self.t, (1, 1), two)

        def set_slice():
            self.t[1:1] = two
        self.assertFails(TypeError, ASSIGN, set_slice)
        self.assertEqual(values(self.t), list(range(1, 10)))


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


class TestMemory(unittest.TestCase):
    def test_no_growth_over_products_and_component_access_including_failures(self):
        t, s = E(*range(9)), E(*IDENTITY)

        def set_slice():
            t[1:2] = 0.5

        def set_key():
            t[2, 0] = 1

        def fail_set():
            t[0, 0] = "a"

        def fail_delete():
            del t[0:0]
        ops = [lambda: t * s, lambda: t[1:2], lambda: t[1, 2], set_slice, set_key, lambda: t.zy(),
               calls(lambda: t[1:2:None]), calls(lambda: t[0:1:1]), calls(lambda: t[2 ** 100:0]),
               calls(lambda: t[0.0:1]), calls(lambda: t[3:0]), calls(lambda: t[0, 3]),
               calls(lambda: t[0]), calls(lambda: t[0, 2 ** 70]), calls(fail_set),
               calls(fail_delete), calls(lambda: t * Sub(*IDENTITY))]
        assert_ops_no_growth(self, ops, 20000)


if __name__ == "__main__":
    unittest.main()
