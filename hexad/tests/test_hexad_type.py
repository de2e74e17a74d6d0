"""The Hexad value type: construction, arithmetic, items, printed form."""
import copy
import math
import operator
import pickle
import unittest

import Hexad
from Hexad import Hexad as H
from dialect import PY3, divide, inplace_divide, long_type, python2_only, python3_only, range_
from roundtrip import CopyCases
from rss import assert_ops_no_growth, calls

BOTH = "Both operands should be Hexad instances"
MULTIPLY = "Can only multiply a number or a Hexad with a Hexad instance"
DIVIDE = "Can only divide a Hexad by a number"
IADD = "Can only add a Hexad to a Hexad instance"
ISUB = "Can only subtract a Hexad to a Hexad instance"
IMUL = "Can only multiply a Hexad by a number"
INDEX = "Hexad index must be 0-5"
ASSIGN = "Can only assign a number to a Hexad item"


class Sub(H):
    pass


class IntSub(int):
    pass


class FloatSub(float):
    pass


# The subclasses the copy cases need (see roundtrip.CopyCases).
class Slotted(H):
    __slots__ = ('a', 'b')


class Mixed(H):
    __slots__ = ('a', '__dict__')


class Stateful(H):
    def __getstate__(self):
        return {'kept': 'by getstate'}

    def __setstate__(self, state):
        self.restored = state


class Labelled(H):
    inits = 0

    def __init__(self, label):
        H.__init__(self, 1, 2, 3, 4, 5, 6)
        Labelled.inits += 1
        self.label = label


# Python 3 ints beyond a double's range.
HUGE = 10 ** 400


def values(t):
    return list(t)


class TestModuleAndConstruction(unittest.TestCase):
    def test_module_and_type(self):
        self.assertEqual(Hexad.__doc__, "Module that implements a column 2nd order tensor")
        self.assertEqual(H.__name__, "Hexad")
        self.assertEqual(H.__doc__, "Hexad objects")
        self.assertEqual(H.xx.__doc__, "xx component")
        self.assertEqual(H.J2.__doc__, "second invariant of the deviatoric tensor")
        self.assertEqual(H.PrincipalValues.__doc__, "principal values")
        self.assertEqual(repr(H), "<class 'Hexad.Hexad'>" if PY3 else "<type 'Hexad'>")
        self.assertEqual(H.__module__, 'Hexad' if PY3 else '__builtin__')

    def test_construction(self):
        t = H(1, long_type(2), 3.5, True, FloatSub(5), 6)
        self.assertEqual([t.xx(), t.yy(), t.zz(), t.xy(), t.yz(), t.zx()],
                         [1.0, 2.0, 3.5, 1.0, 5.0, 6.0])
        self.assertEqual(values(H(1, 2, 3, 4, 5, 6, k=1)), [1, 2, 3, 4, 5, 6])
        for args in [(), (1, 2, 3), (1, 2, 3, 4, 5, 6, 7), ("a", 2, 3, 4, 5, 6)]:
            self.assertRaises(TypeError, H, *args)

    def test_fresh_tensor_is_zero_and_failed_init_keeps_components(self):
        self.assertEqual(values(H.__new__(H)), [0.0] * 6)
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, t.__init__, 1, 2, "x", 4, 5, 6)
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])
        t.__init__(6, 5, 4, 3, 2, 1)
        self.assertEqual(values(t), [6, 5, 4, 3, 2, 1])

    def test_no_argument_methods_refuse_arguments(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, t.Norm, 1)
        self.assertRaises(TypeError, t.xx, 1)
        self.assertEqual(t.EffectiveStrain(1, 2), t.EffectiveStrain())
        self.assertEqual(values(t.DeviatoricPart("a")), values(t.DeviatoricPart()))

    def test_unsupported_protocols(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, len, t)
        self.assertRaises(TypeError, lambda: -t)
        self.assertRaises(TypeError, abs, t)
        self.assertRaises(TypeError, float, t)
        self.assertRaises(TypeError, lambda: t // 2)
        self.assertRaises(TypeError, lambda: t ** 2)
        self.assertFalse(H(1, 2, 3, 4, 5, 6) == H(1, 2, 3, 4, 5, 6))


class TestArithmetic(unittest.TestCase):
    def setUp(self):
        self.t = H(1, 2, 3, 4, 5, 6)
        self.s = H(0.5, -1, 2, 0, 3, -2)

    def assertTypeError(self, message, fn, *args):
        with self.assertRaises(TypeError) as cm:
            fn(*args)
        self.assertEqual(str(cm.exception), message)

    def test_sum_and_difference(self):
        r = self.t + self.s
        self.assertIs(type(r), H)
        self.assertEqual(values(r), [1.5, 1, 5, 4, 8, 4])
        self.assertEqual(values(self.t - self.s), [0.5, 3, 1, 4, 2, 8])
        self.assertEqual(values(self.t), [1, 2, 3, 4, 5, 6])
        for other in [1, 1.0, (1, 2, 3, 4, 5, 6), Sub(1, 2, 3, 4, 5, 6)]:
            self.assertTypeError(BOTH, lambda: self.t + other)
            self.assertTypeError(BOTH, lambda: other + self.t)
            self.assertTypeError(BOTH, lambda: self.t - other)
            self.assertTypeError(BOTH, lambda: other - self.t)

    def test_double_contraction(self):
        self.assertEqual(self.t * H(1, 1, 1, 1, 1, 1), 21.0)
        self.assertIs(type(self.t * self.s), float)
        # Summed yy, xx, zz, xy, yz, zx from the left: the order shows when
        # the terms cancel.
        a = H(0, 1e16, 0, 1, 0, -1e16)
        self.assertEqual(a * H(1, 1, 1, 1, 1, 1), 0.0)
        self.assertEqual(H(1, 1, 1, 1, 1, 1) * a, 0.0)
        self.assertTypeError(MULTIPLY, lambda: self.t * Sub(1, 1, 1, 1, 1, 1))

    def test_scaling_operands(self):
        expected = [2, 4, 6, 8, 10, 12]
        for scaled in [2 * self.t, self.t * 2, 2.0 * self.t, self.t * 2.0,
                       IntSub(2) * self.t, self.t * FloatSub(2.0)]:
            self.assertIs(type(scaled), H)
            self.assertEqual(values(scaled), expected)
        self.assertEqual(values(True * self.t), values(self.t))
        self.assertIsNot(True * self.t, self.t)
        self.assertEqual(values(self.t * False), [0.0] * 6)
        # A subclass instance is scaled into a plain tensor.
        r = Sub(1, 2, 3, 4, 5, 6) * 2
        self.assertIs(type(r), H)
        self.assertEqual(values(r), expected)
        for other in [1j, "2", None, [2]]:
            self.assertTypeError(MULTIPLY, lambda: self.t * other)
            self.assertTypeError(MULTIPLY, lambda: other * self.t)

    @python2_only('longs, which are no number operands')
    def test_longs_are_refused(self):
        t = self.t
        two = long_type(2)
        for op, message in [(operator.mul, MULTIPLY), (divide, DIVIDE),
                            (operator.imul, IMUL), (inplace_divide, DIVIDE)]:
            self.assertTypeError(message, op, t, two)
        self.assertTypeError(MULTIPLY, operator.mul, two, t)
        self.assertTypeError(MULTIPLY, operator.mul, Sub(1, 2, 3, 4, 5, 6), two)
        self.assertTypeError(ASSIGN, operator.setitem, t, 1, two)
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])

    @python3_only('ints of any size')
    def test_large_ints_are_rounded_or_overflow(self):
        big = 2 ** 64 + 2 ** 11 + 1  # not a double: rounds to 2**64 + 2**12
        rounded = 2.0 ** 64 + 2.0 ** 12
        self.assertEqual(values(H(big, 0, 0, 0, 0, -big)), [rounded, 0, 0, 0, 0, -rounded])
        self.assertEqual(values(self.t * big), [v * rounded for v in range(1, 7)])
        self.assertEqual(values(big * self.t), values(self.t * big))
        self.assertEqual(values(self.t / big), values(self.t / rounded))
        t = H(1, 2, 3, 4, 5, 6)
        t[2] = big
        self.assertEqual(t[2], rounded)
        self.assertRaises(OverflowError, H, 1, 2, 3, 4, 5, HUGE)
        for other in (HUGE, -HUGE, 2 ** 1024):
            for op in (operator.mul, operator.truediv, operator.imul, operator.itruediv):
                self.assertRaises(OverflowError, op, self.t, other)
            self.assertRaises(OverflowError, operator.mul, other, self.t)
            self.assertRaises(OverflowError, operator.setitem, self.t, 0, other)
        self.assertEqual(values(self.t), [1, 2, 3, 4, 5, 6])

    def test_scaling_subclass_instances_in_every_case_order(self):
        sub = Sub(1, 2, 3, 4, 5, 6)
        expected = [2, 4, 6, 8, 10, 12]
        for scaled in [2 * sub, sub * 2, 2.0 * sub, sub * 2.0, IntSub(2) * sub,
                       sub * FloatSub(2.0), H.__mul__(sub, 2), H.__rmul__(sub, 2.0)]:
            self.assertIs(type(scaled), H)
            self.assertEqual(values(scaled), expected)
        for other in [self.t, sub, "x"]:
            self.assertTypeError(MULTIPLY, lambda: sub * other)
            self.assertTypeError(MULTIPLY, lambda: other * sub)
        self.assertTypeError(MULTIPLY, H.__mul__, self.t, "x")
        self.assertTypeError(MULTIPLY, H.__rmul__, self.t, None)
        self.assertTypeError(DIVIDE, H.__rtruediv__ if PY3 else H.__rdiv__, self.t, 2)
        self.assertTypeError(BOTH, H.__radd__, self.t, 2)

    def test_division(self):
        self.assertEqual(values(self.t / 2), [0.5, 1, 1.5, 2, 2.5, 3])
        self.assertEqual(values(self.t / 0.5), [2, 4, 6, 8, 10, 12])
        self.assertEqual(values(self.t / True), values(self.t))
        r = H(1, -1, 0, 0, 0, 0) / 0
        self.assertEqual(r[0], float("inf"))
        self.assertEqual(r[1], float("-inf"))
        self.assertTrue(math.isnan(r[2]))
        for other in [self.s, "2"]:
            self.assertTypeError(DIVIDE, lambda: self.t / other)
        self.assertTypeError(DIVIDE, lambda: 2 / self.t)
        self.assertTypeError(DIVIDE, lambda: Sub(1, 2, 3, 4, 5, 6) / 2)

    @python3_only('true division is the only /')
    def test_true_division_is_ieee_and_floor_division_absent(self):
        inf = float("inf")
        r = operator.truediv(H(1, -1, 0, -0.0, 2, 0), -0.0)
        self.assertEqual(values(r)[:2], [-inf, inf])
        self.assertTrue(math.isnan(r[2]) and math.isnan(r[3]))
        t = H(1, -1, 0, 0, 0, 0)
        alias = t
        t /= False
        self.assertIs(t, alias)
        self.assertEqual(values(t)[:2], [inf, -inf])
        for expr in [lambda: self.t // 2, lambda: 2 // self.t, lambda: self.t // self.t,
                     lambda: operator.ifloordiv(self.t, 2)]:
            self.assertRaises(TypeError, expr)
        with self.assertRaises(TypeError) as cm:
            self.t // 2.0
        self.assertEqual(str(cm.exception),
                         "unsupported operand type(s) for //: 'Hexad.Hexad' and 'float'")
        self.assertEqual(values(self.t), [1, 2, 3, 4, 5, 6])

    def test_in_place_forms_change_and_return_the_left_operand(self):
        t = self.t
        alias = t
        t += self.s
        self.assertIs(t, alias)
        self.assertEqual(values(alias), [1.5, 1, 5, 4, 8, 4])
        t -= self.s
        t *= 2
        t /= 4.0
        self.assertIs(t, alias)
        self.assertEqual(values(alias), [0.5, 1, 1.5, 2, 2.5, 3])
        t *= True
        self.assertEqual(values(alias), [0.5, 1, 1.5, 2, 2.5, 3])
        t /= 0
        self.assertEqual(t[0], float("inf"))

    def test_in_place_refusals_leave_the_tensor_unchanged(self):
        t = H(1, 2, 3, 4, 5, 6)
        sub = Sub(1, 1, 1, 1, 1, 1)

        def iadd(o):
            x = t
            x += o

        def isub(o):
            x = t
            x -= o

        def imul(o):
            x = t
            x *= o

        def idiv(o):
            x = t
            x /= o
        for other in [1, 1.0, sub, (1, 2, 3, 4, 5, 6)]:
            self.assertTypeError(IADD, iadd, other)
            self.assertTypeError(ISUB, isub, other)
        for other in [t, "2", None]:
            self.assertTypeError(IMUL, imul, other)
            self.assertTypeError(DIVIDE, idiv, other)
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])

    def test_subclass_receiver_in_place(self):
        s = Sub(1, 2, 3, 4, 5, 6)
        alias = s
        s += H(1, 1, 1, 1, 1, 1)
        s *= 2
        self.assertIs(s, alias)
        self.assertIs(type(s), Sub)
        self.assertEqual(values(s), [4, 6, 8, 10, 12, 14])


class TestItemsAndPrinting(unittest.TestCase):
    def test_items(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertEqual([t[i] for i in range(6)], [1, 2, 3, 4, 5, 6])
        self.assertEqual(t[5], t.zx())
        self.assertEqual(list(t), [1.0, 2.0, 3.0, 4.0, 5.0, 6.0])
        xx, yy, zz, xy, yz, zx = t
        self.assertEqual(yz, 5.0)
        for i in [6, -1, -6, 100]:
            with self.assertRaises(IndexError) as cm:
                t[i]
            self.assertEqual(str(cm.exception), INDEX)
        self.assertRaises(IndexError, lambda: t[10 ** 30])

    def test_item_assignment(self):
        t = H(1, 2, 3, 4, 5, 6)
        t[0] = 10
        t[3] = 2.5
        t[4] = True
        t[5] = FloatSub(-1)
        self.assertEqual(values(t), [10, 2, 3, 2.5, 1, -1])
        for bad in ["a", None, 1j]:
            with self.assertRaises(TypeError) as cm:
                t[1] = bad
            self.assertEqual(str(cm.exception), ASSIGN)
        for i in [6, -1]:
            with self.assertRaises(IndexError) as cm:
                t[i] = 1.0
            self.assertEqual(str(cm.exception), INDEX)
        self.assertEqual(values(t), [10, 2, 3, 2.5, 1, -1])

    def test_deleting_an_item_is_refused(self):
        t = H(1, 2, 3, 4, 5, 6)

        def delete(i):
            del t[i]
        for i in [0, 5, 6, -1]:
            self.assertRaises(TypeError, delete, i)
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])

    def test_printed_form(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertEqual(repr(t), "1 2 3 4 5 6")
        self.assertEqual(str(t), "1 2 3 4 5 6")
        self.assertEqual(str(H(1e6, 0.1, -0.0, 1.0 / 3, -2.5e-300, 123456789)),
                         "1e+06 0.1 -0 0.333333 -2.5e-300 1.23457e+08")
        big = -1.7976931348623157e308
        self.assertEqual(str(H(big, big, big, big, big, big)),
                         " ".join(["-1.79769e+308"] * 6))
        inf = float("inf")
        self.assertEqual(str(H(inf, -inf, 0, 0, 0, 0)).split()[:2], ["inf", "-inf"])


class TestCopies(unittest.TestCase):
    def test_copies_keep_the_components(self):
        t = H(1, 2, 3, 4, 5, 6)
        for c in [copy.copy(t), copy.deepcopy(t)]:
            self.assertIs(type(c), H)
            self.assertIsNot(c, t)
            self.assertEqual(values(c), [1, 2, 3, 4, 5, 6])
        c = copy.copy(t)
        c[0] = 9
        self.assertEqual(t[0], 1.0)

    def test_subclass_copies_keep_type_and_attributes(self):
        s = Sub(1, 2, 3, 4, 5, 6)
        s.label = "sigma"
        c = copy.deepcopy(s)
        self.assertIs(type(c), Sub)
        self.assertEqual(values(c), [1, 2, 3, 4, 5, 6])
        self.assertEqual(c.label, "sigma")

    def test_deep_copy_inside_containers(self):
        t = H(1, 2, 3, 4, 5, 6)
        d = copy.deepcopy({"a": [t, t]})
        self.assertIs(d["a"][0], d["a"][1])
        self.assertEqual(values(d["a"][0]), [1, 2, 3, 4, 5, 6])

    def test_reduce_rebuilds(self):
        rebuild, args = H(1, 2, 3, 4, 5, 6).__reduce__()
        self.assertIs(rebuild, Hexad._rebuild)
        self.assertEqual(args, ((1.0, 2.0, 3.0, 4.0, 5.0, 6.0),))
        t = rebuild(*args)
        self.assertIs(type(t), H)
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])
        s = Sub(1, 2, 3, 4, 5, 6)
        self.assertEqual(s.__reduce__(), (Hexad._rebuild, ((1.0, 2.0, 3.0, 4.0, 5.0, 6.0), Sub)))
        s.label = "sigma"
        self.assertEqual(s.__reduce__()[2], {"label": "sigma"})


class TestHexadCopyCases(CopyCases, unittest.TestCase):
    module, cls, size = Hexad, H, 6
    Sub, Slotted, Mixed, Labelled, Stateful = Sub, Slotted, Mixed, Labelled, Stateful
    read = staticmethod(values)


class TestMemory(unittest.TestCase):
    def test_copies_pickles_and_dialect_paths_no_growth(self):
        t, sub, slotted = H(1, 2, 3, 4, 5, 6), Sub(1, 2, 3, 4, 5, 6), Slotted(6, 5, 4, 3, 2, 1)
        sub.label = [1]
        slotted.a = "x"
        labelled = Labelled("g")
        rebuild = Hexad._rebuild
        six = (1.0, 2.0, 3.0, 4.0, 5.0, 6.0)

        def idiv():
            u = H(1, 2, 3, 4, 5, 6)
            u /= 0
        ops = [lambda: copy.copy(t), lambda: copy.deepcopy(sub), lambda: copy.copy(slotted),
               lambda: copy.deepcopy(labelled), lambda: rebuild(six, Mixed), lambda: t / 0,
               idiv, calls(rebuild, six[1:]), calls(rebuild, six, int), calls(rebuild, ("a",) * 6),
               calls(lambda: t // 2), calls(lambda: t * HUGE), calls(lambda: t / HUGE),
               calls(operator.setitem, t, 0, HUGE), calls(H, 1, 2, 3, 4, 5, HUGE),
               calls(lambda: t * (2 ** 64 + 1))]
        ops += [lambda p=p, x=x: pickle.loads(pickle.dumps(x, p))
                for p in range_(pickle.HIGHEST_PROTOCOL + 1) for x in (t, sub, slotted)]
        assert_ops_no_growth(self, ops, 2000)


if __name__ == "__main__":
    unittest.main()
