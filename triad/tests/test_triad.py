"""Behaviour of the Triad vector type and its module functions."""
import copy
import math
import operator
import pickle
import sys
import unittest

import Triad
from Triad import Triad as T, CrossProd, TripleProd
from dialect import (PY3, divide, inplace_divide, long_type, python2_only, python3_only,
                     range_, type_name)
from roundtrip import CopyCases
from rss import assert_no_growth, calls


def comps(v):
    return (v.x(), v.y(), v.z())


def same_bits(test, got, want):
    """Compares component tuples, telling -0.0 from 0.0 and matching NaNs."""
    test.assertEqual(len(got), len(want))
    for g, w in zip(got, want):
        if math.isnan(w):
            test.assertTrue(math.isnan(g), (got, want))
        else:
            test.assertEqual((g, math.copysign(1, g)), (w, math.copysign(1, w)), (got, want))


class Sub(T):
    pass


# The subclasses the copy cases need (see roundtrip.CopyCases).
class Slotted(T):
    __slots__ = ('a', 'b')


class Mixed(T):
    __slots__ = ('a', '__dict__')


class Stateful(T):
    def __getstate__(self):
        return {'kept': 'by getstate'}

    def __setstate__(self, state):
        self.restored = state


class Labelled(T):
    inits = 0

    def __init__(self, label):
        T.__init__(self, 1, 2, 3)
        Labelled.inits += 1
        self.label = label


# Python 3 ints beyond a double's range.
HUGE = 10 ** 400


class ModuleTest(unittest.TestCase):
    def test_module_and_type_texts(self):
        self.assertEqual(Triad.__doc__, "Module that implements a three element vector")
        self.assertEqual(T.__name__, "Triad")
        self.assertEqual(T.__doc__, "Triad objects")
        self.assertEqual(Triad._rebuild.__doc__, "rebuild a copied or pickled value")
        docs = dict((m, getattr(T, m).__doc__) for m in
                    ('x', 'y', 'z', 'Magnitude', 'Normalize', 'Max', 'Min'))
        self.assertEqual(docs, {'x': "x coordinate", 'y': "y coordinate", 'z': "z coordinate",
                                'Magnitude': "vector magnitude",
                                'Normalize': "normalize the vector",
                                'Max': "componentwise max", 'Min': "componentwise min"})

    def test_no_attributes_or_length(self):
        v = T(1, 2, 3)
        self.assertRaises(AttributeError, setattr, v, 'w', 1)
        self.assertRaises(TypeError, len, v)
        self.assertTrue(bool(T(0, 0, 0)))

    @python2_only('the bare type name, in the interpreter\'s built-in module')
    def test_bare_type_name(self):
        self.assertEqual(repr(T), "<type 'Triad'>")
        self.assertEqual(T.__module__, '__builtin__')

    @python3_only('type names qualified by their module')
    def test_qualified_type_name(self):
        self.assertEqual(repr(T), "<class 'Triad.Triad'>")
        self.assertEqual((T.__module__, T.__qualname__), ('Triad', 'Triad'))
        with self.assertRaises(TypeError) as cm:
            T(1, 2, 3) // 2
        self.assertEqual(str(cm.exception),
                         "unsupported operand type(s) for //: 'Triad.Triad' and 'int'")


class ConstructionTest(unittest.TestCase):
    def test_arguments(self):
        self.assertEqual(comps(T(1, 2, 3)), (1.0, 2.0, 3.0))
        self.assertEqual(comps(T(1, 2, 3, w=4)), (1.0, 2.0, 3.0))
        self.assertEqual(comps(T(long_type(1), True, 2.5)), (1.0, 1.0, 2.5))
        for args in [(), (1, 2), (1, 2, 3, 4), ('a', 2, 3), (1, None, 3)]:
            self.assertRaises(TypeError, T, *args)

    @python3_only('ints of any size')
    def test_large_ints_are_rounded_or_overflow(self):
        big = 2 ** 70 + 2 ** 17 + 1  # not a double: rounds up to 2**70 + 2**18
        self.assertEqual(comps(T(big, -big, 2 ** 53 + 1)),
                         (float(big), -float(big), float(2 ** 53)))
        self.assertEqual(float(big), 2.0 ** 70 + 2.0 ** 18)
        for args in [(HUGE, 0, 0), (0, -HUGE, 0), (0, 0, 2 ** 1024)]:
            self.assertRaises(OverflowError, T, *args)
        v = T(1, 2, 3)
        self.assertRaises(OverflowError, v.__init__, 4, 5, HUGE)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    def test_objects_with_float_conversion(self):
        class F(object):
            def __float__(self):
                return 4.5
        self.assertEqual(comps(T(F(), 0, 0)), (4.5, 0.0, 0.0))

    def test_init_again_overwrites(self):
        v = T(1, 2, 3)
        v.__init__(4, 5, 6)
        self.assertEqual(comps(v), (4.0, 5.0, 6.0))

    def test_subclass(self):
        s = Sub(1, 2, 3)
        self.assertEqual(comps(s), (1.0, 2.0, 3.0))
        s.label = 'kept'
        self.assertEqual(type(s + 1), T)
        self.assertEqual(type(-s), T)
        self.assertEqual(type(s / 2), T)
        self.assertEqual(comps(s / 2), (0.5, 1.0, 1.5))


class MethodTest(unittest.TestCase):
    def test_magnitude_and_normalize(self):
        self.assertEqual(T(3, 4, 0).Magnitude(), 5.0)
        v = T(0, 0, 5)
        n = v.Normalize()
        self.assertEqual(comps(n), (0.0, 0.0, 1.0))
        self.assertEqual(comps(v), (0.0, 0.0, 5.0))
        self.assertIsNot(n, v)
        for zero in (T(0, 0, 0), T(-0.0, 0, -0.0)):
            with self.assertRaises(TypeError) as cm:
                zero.Normalize()
            self.assertEqual(str(cm.exception), "Cannot normalize a zero length Triad")
        nan = float('nan')
        self.assertTrue(all(math.isnan(c) for c in comps(T(nan, 1, 1).Normalize())))
        self.assertEqual(type(Sub(1, 0, 0).Normalize()), T)

    def test_max_min(self):
        v = T(1, 5, 3)
        self.assertIs(v.Max(T(2, 4, float('nan'))), v)
        self.assertEqual(comps(v), (2.0, 5.0, 3.0))
        self.assertIs(v.Min(T(0, 9, -1)), v)
        self.assertEqual(comps(v), (0.0, 5.0, -1.0))
        self.assertIs(v.Max(v), v)
        self.assertEqual(comps(v), (0.0, 5.0, -1.0))
        n = T(float('nan'), 0, 0)
        n.Max(T(1, 0, 0))
        self.assertTrue(math.isnan(n.x()))

    def test_max_min_refusals_leave_receiver(self):
        v = T(1, 2, 3)
        for bad in [(9, 9, 9), Sub(9, 9, 9), 4]:
            for m in (v.Max, v.Min):
                with self.assertRaises(TypeError) as cm:
                    m(bad)
                self.assertEqual(str(cm.exception), "argument should be a Triad object")
        self.assertRaises(TypeError, v.Max)
        self.assertRaises(TypeError, v.Max, v, v)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    def test_cross_and_triple(self):
        ex, ey, ez = T(1, 0, 0), T(0, 1, 0), T(0, 0, 1)
        self.assertEqual(comps(CrossProd(ex, ey)), (0.0, 0.0, 1.0))
        self.assertEqual(comps(CrossProd(T(1, 2, 3), T(4, 5, 6))), (-3.0, 6.0, -3.0))
        self.assertEqual(TripleProd(ex, ey, ez), 1.0)
        self.assertEqual(TripleProd(ey, ex, ez), -1.0)

    def test_cross_and_triple_refusals(self):
        v = T(1, 2, 3)
        cases = [(CrossProd, ((1, 0, 0), v), "first argument should be a Triad object"),
                 (CrossProd, (Sub(1, 0, 0), v), "first argument should be a Triad object"),
                 (CrossProd, (v, [0, 1, 0]), "second argument should be a Triad object"),
                 (TripleProd, (1, v, v), "first argument should be a Triad object"),
                 (TripleProd, (v, None, v), "second argument should be a Triad object"),
                 (TripleProd, (v, v, Sub(1, 1, 1)), "third argument should be a Triad object")]
        for fn, args, msg in cases:
            with self.assertRaises(TypeError) as cm:
                fn(*args)
            self.assertEqual(str(cm.exception), msg)
        self.assertRaises(TypeError, CrossProd, v)
        self.assertRaises(TypeError, TripleProd, v, v, v, v)


class ArithmeticTest(unittest.TestCase):
    def test_results(self):
        a, b = T(1, 2, 3), T(4, 5, 6)
        self.assertEqual(comps(a + b), (5.0, 7.0, 9.0))
        self.assertEqual(comps(a - b), (-3.0, -3.0, -3.0))
        self.assertEqual(a * b, 32.0)
        self.assertIs(type(a * b), float)
        self.assertEqual(comps(2 * a), (2.0, 4.0, 6.0))
        self.assertEqual(comps(a * 2), (2.0, 4.0, 6.0))
        self.assertEqual(comps(a * 0.5), (0.5, 1.0, 1.5))
        self.assertEqual(comps(10 - a), (9.0, 8.0, 7.0))
        self.assertEqual(comps(a - 10), (-9.0, -8.0, -7.0))
        self.assertEqual(comps(1.5 + a), (2.5, 3.5, 4.5))
        self.assertEqual(comps(a + True), (2.0, 3.0, 4.0))
        self.assertEqual(comps(a / 2), (0.5, 1.0, 1.5))
        self.assertEqual(comps(a / True), (1.0, 2.0, 3.0))
        self.assertEqual(comps(a), (1.0, 2.0, 3.0))
        self.assertEqual(comps(b), (4.0, 5.0, 6.0))

    def test_dot_product_summation_order(self):
        # (y*y + x*x) + z*z: 1e16 + 1 is lost before -1e16 cancels it.
        a = T(1.0, 1e8, -1e8)
        self.assertEqual(a * T(1.0, 1e8, 1e8), (1e16 + 1.0) - 1e16)

    def test_ieee_division(self):
        inf = float('inf')
        same_bits(self, comps(T(1, 2, 3) / 0), (inf, inf, inf))
        same_bits(self, comps(T(0, 1, -2) / 0.0), (float('nan'), inf, -inf))
        v = T(1, -1, 0)
        v /= 0
        same_bits(self, comps(v), (inf, -inf, float('nan')))

    def test_negation_and_plus(self):
        v = T(0.0, -1, 2)
        same_bits(self, comps(-v), (-0.0, 1.0, -2.0))
        p = +v
        self.assertIsNot(p, v)
        same_bits(self, comps(p), (0.0, -1.0, 2.0))

    def test_refused_operands(self):
        v = T(1, 2, 3)
        add = "Can only add a number or a Triad to a Triad instance"
        sub = "Can only subtract a number or a Triad from a Triad instance"
        mul = "Can only multiply a number or a Triad with a Triad instance"
        div = "Can only divide a Triad by a number"
        others = [(1, 2, 3), [1, 2, 3], Sub(1, 2, 3), None, 1j, 'a']
        for other in others:
            for op, msg in [(operator.add, add), (operator.sub, sub), (operator.mul, mul)]:
                for args in [(v, other), (other, v)]:
                    with self.assertRaises(TypeError) as cm:
                        op(*args)
                    self.assertEqual(str(cm.exception), msg, (op, args))
            with self.assertRaises(TypeError) as cm:
                divide(v, other)
            self.assertEqual(str(cm.exception), div)
        for left in (1, 2.0, v):
            with self.assertRaises(TypeError) as cm:
                divide(left, v)
            self.assertEqual(str(cm.exception), div)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    @python2_only('longs, which are no number operands')
    def test_longs_are_refused(self):
        v = T(1, 2, 3)
        ten = long_type(10)
        cases = [(operator.add, "Can only add a number or a Triad to a Triad instance"),
                 (operator.sub, "Can only subtract a number or a Triad from a Triad instance"),
                 (operator.mul, "Can only multiply a number or a Triad with a Triad instance")]
        for op, msg in cases:
            for args in [(v, ten), (ten, v)]:
                with self.assertRaises(TypeError) as cm:
                    op(*args)
                self.assertEqual(str(cm.exception), msg)
        cases = [(divide, "Can only divide a Triad by a number"),
                 (operator.iadd, "Can only add a number or a Triad to a Triad instance"),
                 (operator.isub, "Can only subtract a number or a Triad from a Triad instance"),
                 (operator.imul, "Can only multiply a Triad by a number"),
                 (inplace_divide, "Can only divide a Triad by a number"),
                 (operator.setitem, "Can only assign a number to a Triad item")]
        for op, msg in cases:
            with self.assertRaises(TypeError) as cm:
                op(v, 0, ten) if op is operator.setitem else op(v, ten)
            self.assertEqual(str(cm.exception), msg)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    @python3_only('true division is the only /')
    def test_true_division_is_ieee_and_floor_division_absent(self):
        inf = float('inf')
        v = T(1, -2, 0)
        same_bits(self, comps(operator.truediv(v, 0)), (inf, -inf, float('nan')))
        same_bits(self, comps(v / -0.0), (-inf, inf, float('nan')))
        same_bits(self, comps(v / False), (inf, -inf, float('nan')))
        u = v
        u /= 0
        self.assertIs(u, v)
        same_bits(self, comps(v), (inf, -inf, float('nan')))
        w = T(1, 2, 3)
        for expr in (lambda: w // 2, lambda: 2 // w, lambda: w // w,
                     lambda: operator.ifloordiv(w, 2)):
            self.assertRaises(TypeError, expr)
        self.assertFalse(hasattr(T, '__floordiv__'))
        self.assertEqual(comps(w), (1.0, 2.0, 3.0))

    @python3_only('ints of any size')
    def test_large_int_operands(self):
        v = T(1, 2, 3)
        big = 2 ** 64 + 2 ** 11 + 1  # rounds to 2**64 + 2**12
        self.assertEqual(comps(v * big), (float(big), 2 * float(big), 3 * float(big)))
        self.assertEqual(comps(big * v), comps(v * float(big)))
        self.assertEqual(comps(v + big), comps(v + float(big)))
        self.assertEqual(comps(big - v), comps(float(big) - v))
        self.assertEqual(comps(v / big), comps(v / float(big)))
        self.assertEqual(comps(v - (2 ** 53 + 1)), comps(v - 2.0 ** 53))
        self.assertEqual(comps(v * -True), (-1.0, -2.0, -3.0))
        ops = [operator.add, operator.sub, operator.mul]
        for other in (HUGE, -HUGE, 2 ** 1024):
            for op in ops:
                self.assertRaises(OverflowError, op, v, other)
                self.assertRaises(OverflowError, op, other, v)
            self.assertRaises(OverflowError, operator.truediv, v, other)
            for op in (operator.iadd, operator.isub, operator.imul, operator.itruediv):
                self.assertRaises(OverflowError, op, v, other)
            self.assertRaises(TypeError, operator.truediv, other, v)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    def test_absent_number_slots(self):
        v = T(1, 2, 3)
        for expr in (lambda: abs(v), lambda: v ** 2, lambda: v // 2, lambda: v % 2,
                     lambda: float(v), lambda: int(v)):
            self.assertRaises(TypeError, expr)
        with self.assertRaises(TypeError) as cm:
            2.5 % v
        self.assertEqual(str(cm.exception), "unsupported operand type(s) for %%: 'float' and '%s'"
                         % type_name('Triad', 'Triad'))

    def test_identity_comparison(self):
        a, b = T(1, 2, 3), T(1, 2, 3)
        self.assertFalse(a == b)
        self.assertTrue(a == a)
        self.assertEqual(len(set([a, b, a])), 2)


class InPlaceTest(unittest.TestCase):
    def test_changes_receiver_and_aliases(self):
        v = T(1, 2, 3)
        u = v
        u += T(1, 1, 1)
        self.assertIs(u, v)
        self.assertEqual(comps(v), (2.0, 3.0, 4.0))
        u -= 1
        u *= 2
        u /= 4.0
        self.assertEqual(comps(v), (0.5, 1.0, 1.5))
        u += True
        self.assertEqual(comps(v), (1.5, 2.0, 2.5))
        w = T(1, 1, 1)
        w += w
        self.assertEqual(comps(w), (2.0, 2.0, 2.0))

    def test_refusals_leave_receiver(self):
        add = "Can only add a number or a Triad to a Triad instance"
        sub = "Can only subtract a number or a Triad from a Triad instance"
        mul = "Can only multiply a Triad by a number"
        div = "Can only divide a Triad by a number"
        others = [T(1, 1, 1), (1, 2, 3), Sub(1, 1, 1), None]
        for other in others:
            cases = [(operator.imul, mul), (inplace_divide, div)]
            if not isinstance(other, T) or type(other) is not T:
                cases += [(operator.iadd, add), (operator.isub, sub)]
            for op, msg in cases:
                v = T(1, 2, 3)
                with self.assertRaises(TypeError) as cm:
                    op(v, other)
                self.assertEqual(str(cm.exception), msg, (op, other))
                self.assertEqual(comps(v), (1.0, 2.0, 3.0))

    def test_number_receiver_makes_new_vector(self):
        x = 2.0
        v = T(1, 2, 3)
        x += v
        self.assertEqual(comps(x), (3.0, 4.0, 5.0))
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))


class ItemTest(unittest.TestCase):
    def test_read(self):
        v = T(1, 2.5, -3)
        self.assertEqual((v[0], v[1], v[2]), (1.0, 2.5, -3.0))
        self.assertEqual(list(v), [1.0, 2.5, -3.0])
        a, b, c = v
        self.assertEqual((a, b, c), (1.0, 2.5, -3.0))
        for i in (3, -1, -4, 10 ** 6, sys.maxsize):
            with self.assertRaises(IndexError) as cm:
                v[i]
            self.assertEqual(str(cm.exception), "Triad index must be 0, 1, or 2")
        self.assertRaises(IndexError, lambda: v[10 ** 30])
        self.assertRaises(TypeError, lambda: v['a'])
        self.assertRaises(TypeError, lambda: v[0:2])

    def test_assign(self):
        v = T(1, 2, 3)
        v[0] = 10
        v[1] = True
        v[2] = 0.25
        self.assertEqual(comps(v), (10.0, 1.0, 0.25))
        for i, value, exc, msg in [(1, 'a', TypeError, "Can only assign a number to a Triad item"),
                                   (0, T(1, 1, 1), TypeError,
                                    "Can only assign a number to a Triad item"),
                                   (5, 'a', IndexError, "Triad index must be 0, 1, or 2"),
                                   (-1, 1.0, IndexError, "Triad index must be 0, 1, or 2"),
                                   (3, 1, IndexError, "Triad index must be 0, 1, or 2")]:
            with self.assertRaises(exc) as cm:
                v[i] = value
            self.assertEqual(str(cm.exception), msg)
        self.assertEqual(comps(v), (10.0, 1.0, 0.25))

    @python3_only('ints of any size')
    def test_assign_large_ints(self):
        v = T(1, 2, 3)
        v[0] = 2 ** 64 + 2 ** 11 + 1
        self.assertEqual(v[0], 2.0 ** 64 + 2.0 ** 12)
        for value in (HUGE, -HUGE):
            self.assertRaises(OverflowError, v.__setitem__, 1, value)
        self.assertRaises(IndexError, v.__setitem__, 3, HUGE)
        self.assertEqual(comps(v)[1:], (2.0, 3.0))

    def test_delete_is_refused(self):
        v = T(1, 2, 3)
        for i in (0, 2, 5, -1):
            def delete():
                del v[i]
            self.assertRaises(TypeError, delete)
        self.assertEqual(comps(v), (1.0, 2.0, 3.0))


class PrintedFormTest(unittest.TestCase):
    def test_g_format(self):
        self.assertEqual(str(T(1, 2.5, -3)), "1 2.5 -3")
        self.assertEqual(repr(T(1, 2.5, -3)), "1 2.5 -3")
        self.assertEqual(str(T(0.1, 1e20, -0.0)), "0.1 1e+20 -0")
        self.assertEqual(str(T(123456789, 1.0 / 3, -1e-300)), "1.23457e+08 0.333333 -1e-300")
        self.assertEqual(str(T(-1.7976931348623157e308, -2.2250738585072014e-308, 5e-324)),
                         "-1.79769e+308 -2.22507e-308 4.94066e-324")
        self.assertEqual(len(str(T(float('inf'), float('-inf'), float('nan'))).split()), 3)


class CopyTest(unittest.TestCase):
    def test_copies_are_exact_and_independent(self):
        v = T(1.5, -2, 1e300)
        for c in (copy.copy(v), copy.deepcopy(v)):
            self.assertIs(type(c), T)
            self.assertIsNot(c, v)
            self.assertEqual(comps(c), comps(v))
        c = copy.copy(v)
        c[0] = 7
        self.assertEqual(v[0], 1.5)

    def test_deepcopy_of_lists(self):
        vs = [T(i, -i, 0.5 * i) for i in range(5)]
        vs.append(vs[0])
        ds = copy.deepcopy(vs)
        self.assertEqual([comps(d) for d in ds], [comps(v) for v in vs])
        self.assertIs(ds[0], ds[5])
        self.assertIsNot(ds[0], vs[0])

    def test_subclass_keeps_type_and_dictionary(self):
        s = Sub(1, 2, 3)
        s.label = ['node', 7]
        d = copy.deepcopy(s)
        self.assertIs(type(d), Sub)
        self.assertEqual(comps(d), (1.0, 2.0, 3.0))
        self.assertEqual(d.label, ['node', 7])
        self.assertIsNot(d.label, s.label)
        self.assertEqual(comps(copy.copy(Sub(4, 5, 6))), (4.0, 5.0, 6.0))


class TriadCopyCases(CopyCases, unittest.TestCase):
    module, cls, size = Triad, T, 3
    Sub, Slotted, Mixed, Labelled, Stateful = Sub, Slotted, Mixed, Labelled, Stateful

    @staticmethod
    def read(v):
        return list(comps(v))


class MemoryTest(unittest.TestCase):
    def test_no_growth(self):
        v, w, s = T(1, 2, 3), T(4, 5, 6), Sub(1, 1, 1)
        ops = [lambda: v + w, lambda: v - 1, lambda: 2.0 * v, lambda: v * w, lambda: v / 2,
               lambda: -v, lambda: +v, lambda: v[1], lambda: list(v), lambda: str(v),
               lambda: T(1, 2, 3), lambda: Sub(1, 2, 3), lambda: s + 1, lambda: v.Normalize(),
               lambda: v.Max(w), lambda: v.Min(w), lambda: v.Magnitude(),
               lambda: CrossProd(v, w), lambda: TripleProd(v, w, v), lambda: copy.copy(v),
               lambda: v.__reduce__(), lambda: s.__reduce__(),
               calls(lambda: v + (1, 2, 3)), calls(lambda: 1 / v), calls(lambda: v[7]),
               calls(lambda: v // 2), calls(lambda: v + HUGE), calls(lambda: HUGE * v),
               calls(lambda: v / HUGE), calls(v.__setitem__, 0, HUGE), calls(T, HUGE, 0, 0),
               calls(lambda: v * (2 ** 70 + 1)), lambda: v / 0, lambda: v / True,
               calls(v.__setitem__, 0, 'a'), calls(v.__delitem__, 0),
               calls(T(0, 0, 0).Normalize), calls(v.Max, 3), calls(CrossProd, v, 1),
               calls(T, 1, 2), calls(T, 'a', 2, 3)]

        def loop():
            for _ in range(50000):
                for op in ops:
                    op()
        assert_no_growth(self, loop)

    def test_copies_and_pickles_no_growth(self):
        v = T(1, -0.0, float('nan'))
        s, slotted, labelled = Sub(1, 2, 3), Slotted(4, 5, 6), Labelled('g')
        stateful = Stateful(7, 8, 9)
        s.label = [1, 2]
        slotted.a = 'x'
        rebuild = Triad._rebuild
        ops = [lambda: copy.copy(v), lambda: copy.deepcopy(s), lambda: copy.copy(slotted),
               lambda: copy.deepcopy(labelled), lambda: slotted.__reduce__(),
               lambda: copy.copy(stateful),
               lambda: rebuild((1.0, 2.0, 3.0)), lambda: rebuild((1.0, 2.0, 3.0), Slotted),
               calls(rebuild, (1.0, 2.0)), calls(rebuild, (1.0, 2.0, 3.0), int),
               calls(rebuild, ('a', 2.0, 3.0))]
        ops += [lambda p=p, x=x: pickle.loads(pickle.dumps(x, p))
                for p in range_(pickle.HIGHEST_PROTOCOL + 1) for x in (v, s, slotted)]

        def loop():
            for _ in range(2000):
                for op in ops:
                    op()
        assert_no_growth(self, loop)

    def test_in_place_no_growth(self):
        def loop():
            v, w = T(1, 2, 3), T(1, 1, 1)
            for _ in range(100000):
                v += w
                v -= 1
                v *= 1.0
                v /= 1
                v[0] = 1.0
                if PY3:
                    try:
                        v += HUGE
                    except OverflowError:
                        pass
        assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
