"""The value-type scaffold (common/value_type.h) that Triad, Hexad and
Ennead share, tested once over the three types: construction, the printed
form, the operand rules of the vector and tensor kinds with each type's
messages, in-place forms, the one-index item protocol, subclasses, the free
list, reference counts, copies and pickles, and memory stability. Each
module's own suite keeps its numbers, its messages and its algebra."""
import copy
import math
import operator
import pickle
import sys
import unittest

import Ennead
import Hexad
import Triad
from dialect import (PY3, divide, inplace_divide, long_type, python2_only, python3_only,
                     range_, type_name)
from messages import MessageAssertions
from roundtrip import CopyCases
from rss import assert_no_growth, assert_ops_no_growth, calls

# Python 3 ints beyond a double's range.
HUGE = 10 ** 400
INF = float('inf')


class IntSub(int):
    pass


class FloatSub(float):
    pass


class Info(object):
    """What differs between the three types: the module, the component
    methods in storage order, the kind's operand rules and the texts."""

    def __init__(self, module, names, vector, texts):
        self.module = module
        self.cls = getattr(module, module.__name__)
        self.name = module.__name__
        self.names = names
        self.size = len(names)
        self.vector = vector
        self.texts = texts

    def read(self, v):
        return [getattr(v, n)() for n in self.names]

    def make(self, *values):
        """A value of the type: values, or 1, 2, ..., N."""
        return self.cls(*(values or range(1, self.size + 1)))


TRIAD = Info(Triad, ['x', 'y', 'z'], True, {
    'add': "Can only add a number or a Triad to a Triad instance",
    'sub': "Can only subtract a number or a Triad from a Triad instance",
    'mul': "Can only multiply a number or a Triad with a Triad instance",
    'div': "Can only divide a Triad by a number",
    'iadd': "Can only add a number or a Triad to a Triad instance",
    'isub': "Can only subtract a number or a Triad from a Triad instance",
    'imul': "Can only multiply a Triad by a number",
    'index': "Triad index must be 0, 1, or 2",
    'assign': "Can only assign a number to a Triad item"})
HEXAD = Info(Hexad, ['xx', 'yy', 'zz', 'xy', 'yz', 'zx'], False, {
    'add': "Both operands should be Hexad instances",
    'sub': "Both operands should be Hexad instances",
    'mul': "Can only multiply a number or a Hexad with a Hexad instance",
    'div': "Can only divide a Hexad by a number",
    'iadd': "Can only add a Hexad to a Hexad instance",
    'isub': "Can only subtract a Hexad to a Hexad instance",
    'imul': "Can only multiply a Hexad by a number",
    'index': "Hexad index must be 0-5",
    'assign': "Can only assign a number to a Hexad item"})
ENNEAD = Info(Ennead, ['xx', 'xy', 'xz', 'yx', 'yy', 'yz', 'zx', 'zy', 'zz'], False, {
    'add': "Both operands should be Ennead instances",
    'sub': "Both operands should be Ennead instances",
    'mul': "Can only multiply a number or a Ennead with a Ennead instance",
    'div': "Can only divide a Ennead by a number",
    'iadd': "Can only add a Ennead to a Ennead instance",
    'isub': "Can only subtract a Ennead to a Ennead instance",
    'imul': "Can only in-place multiply a Ennead by a number",
    # Ennead replaces the one-index item protocol by its row and column one.
    'index': None,
    'assign': "Can only assign a number to a Ennead item"})
TYPES = [TRIAD, HEXAD, ENNEAD]


def define_subclasses(info):
    """The subclasses of a type the cases need (see roundtrip.CopyCases),
    bound at the top level under names pickle finds: TriadSub, ..."""
    cls, size = info.cls, info.size

    class Sub(cls):
        pass

    class Slotted(cls):
        __slots__ = ('a', 'b')

    class Mixed(cls):
        __slots__ = ('a', '__dict__')

    class Stateful(cls):
        def __getstate__(self):
            return {'kept': 'by getstate'}

        def __setstate__(self, state):
            self.restored = state

    class Labelled(cls):
        inits = 0

        def __init__(self, label):
            cls.__init__(self, *range(1, size + 1))
            Labelled.inits += 1
            self.label = label

    for sub in (Sub, Slotted, Mixed, Stateful, Labelled):
        role = sub.__name__
        sub.__name__ = info.name + role
        if PY3:
            sub.__qualname__ = sub.__name__
        globals()[sub.__name__] = sub
        setattr(info, role, sub)


for _info in TYPES:
    define_subclasses(_info)


class ScaffoldCase(MessageAssertions):
    """The cases, mixed into one TestCase per type that sets `info`."""

    def read(self, v):
        return self.info.read(v)

    def sample(self):
        return [float(i) for i in range(1, self.info.size + 1)]

    def refused(self, key, fn, *args):
        self.assertFails(TypeError, self.info.texts[key], fn, *args)

    # --- construction and the type ------------------------------------------

    def test_type_texts_and_names(self):
        info = self.info
        self.assertEqual((info.cls.__name__, info.cls.__doc__), (info.name, info.name + ' objects'))
        self.assertEqual(info.module._rebuild.__doc__, "rebuild a copied or pickled value")
        if PY3:
            self.assertEqual(repr(info.cls), "<class '%s.%s'>" % (info.name, info.name))
            self.assertEqual((info.cls.__module__, info.cls.__qualname__), (info.name, info.name))
        else:
            self.assertEqual(repr(info.cls), "<type '%s'>" % info.name)
            self.assertEqual(info.cls.__module__, '__builtin__')

    def test_construction_reads_every_number_kind_and_ignores_keywords(self):
        n = self.info.size
        kinds = [1, long_type(2), 3.5, True, FloatSub(5), IntSub(6), 7, 8, 9][:n]
        self.assertEqual(self.read(self.info.cls(*kinds)), [float(k) for k in kinds])
        self.assertEqual(self.read(self.info.cls(*self.sample(), k=1)), self.sample())

        class Half(object):
            def __float__(self):
                return 4.5
        self.assertEqual(self.read(self.info.cls(Half(), *[0] * (n - 1))), [4.5] + [0.0] * (n - 1))
        for args in [(), (1,) * (n - 1), (1,) * (n + 1), ('a',) + (2,) * (n - 1),
                     (1, None) + (3,) * (n - 2)]:
            self.assertRaises(TypeError, self.info.cls, *args)

    def test_a_fresh_value_is_zero_and_a_failed_initialisation_keeps_components(self):
        cls, n = self.info.cls, self.info.size
        self.assertEqual(self.read(cls.__new__(cls)), [0.0] * n)
        self.assertEqual(self.read(cls.__new__(self.info.Sub)), [0.0] * n)
        v = self.info.make()
        self.assertRaises(TypeError, v.__init__, *([1] * (n - 1) + ['x']))
        self.assertEqual(self.read(v), self.sample())
        if PY3:
            self.assertRaises(OverflowError, v.__init__, *([1] * (n - 1) + [HUGE]))
            self.assertEqual(self.read(v), self.sample())
        v.__init__(*range(n, 0, -1))
        self.assertEqual(self.read(v), self.sample()[::-1])

    @python3_only('ints of any size')
    def test_large_ints_are_rounded_or_overflow(self):
        n = self.info.size
        big = 2 ** 64 + 2 ** 11 + 1  # not a double: rounds up to 2**64 + 2**12
        rounded = 2.0 ** 64 + 2.0 ** 12
        self.assertEqual(self.read(self.info.cls(*[big, -big] + [2 ** 53 + 1] * (n - 2))),
                         [rounded, -rounded] + [2.0 ** 53] * (n - 2))
        for at in (0, n - 1):
            for huge in (HUGE, -HUGE, 2 ** 1024):
                args = [0] * n
                args[at] = huge
                self.assertRaises(OverflowError, self.info.cls, *args)

    def test_no_attributes_no_length_truth_and_identity_comparison(self):
        v, w = self.info.make(), self.info.make()
        self.assertRaises(AttributeError, setattr, v, 'label', 1)
        self.assertRaises(TypeError, len, v)
        self.assertTrue(bool(self.info.cls.__new__(self.info.cls)))
        self.assertFalse(v == w)
        self.assertTrue(v == v)
        self.assertEqual(len(set([v, w, v])), 2)

    def test_absent_number_slots(self):
        v = self.info.make()
        for expr in (abs, float, int, lambda x: x ** 2, lambda x: x // 2, lambda x: x % 2,
                     lambda x: 2 // x):
            self.assertRaises(TypeError, expr, v)
        qualified = type_name(self.info.name, self.info.name)
        self.assertFails(TypeError, "unsupported operand type(s) for %%: 'float' and '%s'"
                         % qualified, lambda: 2.5 % v)
        self.assertFails(TypeError, "unsupported operand type(s) for ** or pow(): '%s' and 'int'"
                         % qualified, lambda: v ** 2)
        if PY3:
            self.assertFails(TypeError, "unsupported operand type(s) for //: '%s' and 'int'"
                             % qualified, lambda: v // 2)
            self.assertFalse(hasattr(self.info.cls, '__floordiv__'))
            self.assertRaises(TypeError, operator.ifloordiv, v, 2)
            self.assertRaises(TypeError, operator.floordiv, v, v)
        self.assertEqual(self.read(v), self.sample())

    def test_unary_operators_of_the_vector_kind_only(self):
        v = self.info.make(*([0.0, -1.0, 2.0] * 3)[:self.info.size])
        if not self.info.vector:
            self.assertRaises(TypeError, operator.neg, v)
            self.assertRaises(TypeError, operator.pos, v)
            return
        self.assertEqual(self.read(-v), [-0.0, 1.0, -2.0])
        self.assertEqual([math.copysign(1, c) for c in self.read(-v)], [-1.0, 1.0, -1.0])
        self.assertIs(type(-self.info.Sub(1, 2, 3)), self.info.cls)
        p = +v
        self.assertIsNot(p, v)
        self.assertIs(type(+self.info.Sub(1, 2, 3)), self.info.cls)
        self.assertEqual(self.read(p), [0.0, -1.0, 2.0])

    # --- printed form -------------------------------------------------------

    def test_printed_form_is_the_g_text_of_each_component(self):
        n = self.info.size
        values = [1e6, 0.1, -0.0, 1.0 / 3, -2.5e-300, 123456789, 1, 2.5, -3]
        texts = "1e+06 0.1 -0 0.333333 -2.5e-300 1.23457e+08 1 2.5 -3".split()
        v = self.info.cls(*values[:n])
        self.assertEqual(str(v), " ".join(texts[:n]))
        self.assertEqual(repr(v), str(v))
        extremes = [-1.7976931348623157e308, -2.2250738585072014e-308, 5e-324]
        self.assertEqual(str(self.info.cls(*(extremes * 3)[:n])),
                         " ".join(("-1.79769e+308 -2.22507e-308 4.94066e-324".split() * 3)[:n]))
        self.assertEqual(str(self.info.cls(INF, -INF, *[0] * (n - 2))).split()[:2],
                         ["inf", "-inf"])

    # --- arithmetic -----------------------------------------------------------

    def test_sum_and_difference_of_two_values(self):
        a = self.info.make()
        b = self.info.cls(*[0.5 * i - 1 for i in range(self.info.size)])
        for op in (operator.add, operator.sub):
            r = op(a, b)
            self.assertIs(type(r), self.info.cls)
            self.assertEqual(self.read(r), [op(x, y) for x, y in zip(self.read(a), self.read(b))])
        self.assertEqual(self.read(a), self.sample())

    def test_numbers_on_either_side_of_plus_and_minus(self):
        # Taken by the vector kind (a subclass instance too), refused by the
        # tensor kind with the message of + or -.
        v = self.info.make()
        sub = self.info.Sub(*self.sample())
        cases = [('add', lambda: v + 1.5, [c + 1.5 for c in self.sample()]),
                 ('add', lambda: 1.5 + v, [1.5 + c for c in self.sample()]),
                 ('sub', lambda: v - 10, [c - 10 for c in self.sample()]),
                 ('sub', lambda: 10 - v, [10 - c for c in self.sample()]),
                 ('add', lambda: v + True, [c + 1 for c in self.sample()]),
                 ('add', lambda: sub + 1, [c + 1 for c in self.sample()])]
        for key, expr, expected in cases:
            if self.info.vector:
                r = expr()
                self.assertIs(type(r), self.info.cls)
                self.assertEqual(self.read(r), expected)
            else:
                self.refused(key, expr)
        self.assertEqual(self.read(v), self.sample())

    def test_refused_operands_and_their_messages(self):
        v = self.info.make()
        sub = self.info.Sub(*self.sample())
        n = self.info.size
        others = [tuple(range(n)), list(range(n)), sub, None, 1j, 'a']
        for other in others:
            for op, key in [(operator.add, 'add'), (operator.sub, 'sub'),
                            (operator.mul, 'mul')]:
                self.refused(key, op, v, other)
                self.refused(key, op, other, v)
            self.refused('div', divide, v, other)
        for left in (1, 2.0, v):
            self.refused('div', divide, left, v)
        self.refused('mul', operator.mul, sub, sub)
        if not self.info.vector:
            self.refused('add', self.info.cls.__radd__, v, 2)
        # The reflected slots called directly test their operands the same way.
        self.refused('mul', self.info.cls.__mul__, v, 'x')
        self.refused('mul', self.info.cls.__rmul__, v, None)
        self.refused('div', self.info.cls.__rtruediv__ if PY3 else self.info.cls.__rdiv__, v, 2)
        self.assertEqual(self.read(v), self.sample())

    def test_scaling_by_every_number_kind_gives_a_value_of_exactly_the_type(self):
        v = self.info.make()
        sub = self.info.Sub(*self.sample())
        doubled = [2 * c for c in self.sample()]
        for scaled in [2 * v, v * 2, 2.0 * v, v * 2.0, IntSub(2) * v, v * FloatSub(2.0),
                       2 * sub, sub * 2.0, IntSub(2) * sub, sub * FloatSub(2.0),
                       self.info.cls.__mul__(sub, 2), self.info.cls.__rmul__(sub, 2.0)]:
            self.assertIs(type(scaled), self.info.cls)
            self.assertEqual(self.read(scaled), doubled)
        self.assertEqual(self.read(v * 0.5), [0.5 * c for c in self.sample()])
        self.assertEqual(self.read(True * v), self.sample())
        self.assertIsNot(True * v, v)
        self.assertEqual(self.read(v * False), [0.0] * self.info.size)

    def test_division_by_a_number_is_ieee(self):
        n = self.info.size
        v = self.info.make()
        self.assertEqual(self.read(v / 2), [c / 2 for c in self.sample()])
        self.assertEqual(self.read(v / True), self.sample())
        r = self.info.cls(1, -1, 0, *[0] * (n - 3)) / 0
        self.assertEqual(self.read(r)[:2], [INF, -INF])
        self.assertTrue(math.isnan(self.read(r)[2]))
        r = self.info.cls(1, -1, 0, *[0] * (n - 3)) / -0.0
        self.assertEqual(self.read(r)[:2], [-INF, INF])
        w = self.info.cls(1, -1, 0, *[0] * (n - 3))
        alias = w
        w /= False
        self.assertIs(w, alias)
        self.assertEqual(self.read(w)[:2], [INF, -INF])
        if PY3:
            self.assertEqual(self.read(operator.truediv(v, 0))[:1], [INF])
            self.assertEqual(self.read(w / False)[:2], [INF, -INF])
        sub = self.info.Sub(*self.sample())
        if self.info.vector:
            self.assertIs(type(sub / 2), self.info.cls)
            self.assertEqual(self.read(sub / 2), [c / 2 for c in self.sample()])
        else:
            self.refused('div', divide, sub, 2)

    @python2_only('longs, which are no number operands')
    def test_longs_are_refused_as_operands(self):
        v = self.info.make()
        two = long_type(2)
        for op, key in [(operator.mul, 'mul'), (divide, 'div'), (operator.imul, 'imul'),
                        (inplace_divide, 'div'), (operator.add, 'add'), (operator.sub, 'sub'),
                        (operator.iadd, 'iadd'), (operator.isub, 'isub')]:
            self.refused(key, op, v, two)
        for op, key in [(operator.mul, 'mul'), (operator.add, 'add'), (operator.sub, 'sub')]:
            self.refused(key, op, two, v)
        self.refused('mul', operator.mul, self.info.Sub(*self.sample()), two)
        self.assertEqual(self.read(v), self.sample())

    @python3_only('ints of any size')
    def test_large_int_operands_are_rounded_or_overflow(self):
        v = self.info.make()
        big = 2 ** 64 + 2 ** 11 + 1
        self.assertEqual(self.read(v * big), self.read(v * float(big)))
        self.assertEqual(self.read(big * v), self.read(v * float(big)))
        self.assertEqual(self.read(v / big), self.read(v / float(big)))
        self.assertEqual(self.read(v * -True), [-c for c in self.sample()])
        if self.info.vector:
            self.assertEqual(self.read(v + big), self.read(v + float(big)))
            self.assertEqual(self.read(big - v), self.read(float(big) - v))
            self.assertEqual(self.read(v - (2 ** 53 + 1)), self.read(v - 2.0 ** 53))
        for other in (HUGE, -HUGE, 2 ** 1024):
            ops = [operator.mul, operator.truediv, operator.imul, operator.itruediv]
            if self.info.vector:
                ops += [operator.add, operator.sub, operator.iadd, operator.isub]
                self.assertRaises(OverflowError, operator.add, other, v)
                self.assertRaises(OverflowError, operator.sub, other, v)
            for op in ops:
                self.assertRaises(OverflowError, op, v, other)
            self.assertRaises(OverflowError, operator.mul, other, v)
            self.refused('div', operator.truediv, other, v)
            if not self.info.vector:
                self.refused('add', operator.add, v, other)
                self.refused('sub', operator.sub, other, v)
        self.assertEqual(self.read(v), self.sample())

    # --- in-place forms ---------------------------------------------------------

    def test_in_place_forms_change_and_return_the_left_operand(self):
        v = self.info.make()
        one = self.info.cls(*[1] * self.info.size)
        alias = v
        v += one
        v -= one
        v *= 2
        v /= 4.0
        v *= True
        self.assertIs(v, alias)
        self.assertEqual(self.read(alias), [c / 2 for c in self.sample()])
        w = self.info.make()
        w += w
        self.assertEqual(self.read(w), [2 * c for c in self.sample()])
        if self.info.vector:
            v += 1
            v -= True
            self.assertEqual(self.read(alias), [c / 2 for c in self.sample()])
        s = self.info.Sub(*self.sample())
        sub_alias = s
        s += one
        s *= 2
        self.assertIs(s, sub_alias)
        self.assertIs(type(s), self.info.Sub)
        self.assertEqual(self.read(s), [2 * (c + 1) for c in self.sample()])

    def test_in_place_refusals_leave_the_receiver(self):
        n = self.info.size
        sub = self.info.Sub(*[1] * n)
        value = self.info.cls(*[1] * n)
        cases = [('imul', operator.imul, other) for other in (value, sub, '2', None)]
        cases += [('div', inplace_divide, other) for other in (value, sub, '2', None)]
        cases += [(key, op, other) for other in (sub, tuple(range(n)), None)
                  for key, op in (('iadd', operator.iadd), ('isub', operator.isub))]
        if not self.info.vector:
            cases += [(key, op, other) for other in (1, 1.0)
                      for key, op in (('iadd', operator.iadd), ('isub', operator.isub))]
        for key, op, other in cases:
            v = self.info.make()
            self.refused(key, op, v, other)
            self.assertEqual(self.read(v), self.sample(), (key, other))

    def test_a_number_receiver_gives_a_new_value_or_the_refusal(self):
        x = 2.0
        v = self.info.make()
        if self.info.vector:
            x += v
            self.assertIs(type(x), self.info.cls)
            self.assertEqual(self.read(x), [2 + c for c in self.sample()])
        else:
            self.refused('add', operator.iadd, x, v)
        self.assertEqual(self.read(v), self.sample())

    # --- the one-index item protocol ----------------------------------------

    def test_items_read_by_one_index_without_wrapping(self):
        if self.info.texts['index'] is None:
            return self.skipTest('%s has items of its own' % self.info.name)
        v = self.info.make()
        n = self.info.size
        self.assertEqual([v[i] for i in range(n)], self.sample())
        self.assertEqual(list(v), self.sample())
        self.assertEqual(v[n - 1], getattr(v, self.info.names[-1])())
        for i in (n, -1, -n, -n - 1, 100, sys.maxsize):
            self.assertFails(IndexError, self.info.texts['index'], lambda: v[i])
        self.assertRaises(IndexError, lambda: v[10 ** 30])
        self.assertRaises(TypeError, lambda: v['a'])
        self.assertRaises(TypeError, lambda: v[0:2])

    def test_item_assignment_and_refused_deletion(self):
        if self.info.texts['index'] is None:
            return self.skipTest('%s has items of its own' % self.info.name)
        v = self.info.make()
        n = self.info.size
        v[0] = 10
        v[1] = True
        v[2] = FloatSub(0.25)
        expected = [10.0, 1.0, 0.25] + self.sample()[3:]
        self.assertEqual(self.read(v), expected)
        for bad in ['a', None, 1j, self.info.make()]:
            self.assertFails(TypeError, self.info.texts['assign'], operator.setitem, v, 1, bad)
        for i, value in [(n, 'a'), (-1, 1.0), (n + 2, 1)]:
            self.assertFails(IndexError, self.info.texts['index'], operator.setitem, v, i, value)
        for i in (0, n - 1, n, -1):
            self.assertRaises(TypeError, operator.delitem, v, i)
        if PY3:
            v[0] = 2 ** 64 + 2 ** 11 + 1
            self.assertEqual(v[0], 2.0 ** 64 + 2.0 ** 12)
            for value in (HUGE, -HUGE):
                self.assertRaises(OverflowError, operator.setitem, v, 1, value)
            self.assertRaises(IndexError, operator.setitem, v, n, HUGE)
            expected[0] = 2.0 ** 64 + 2.0 ** 12
        else:
            self.assertFails(TypeError, self.info.texts['assign'], operator.setitem, v, 1,
                             long_type(2))
        self.assertEqual(self.read(v), expected)

    # --- free list and reference counts -----------------------------------------

    def test_released_values_are_reused_whole_and_subclass_instances_are_not_kept(self):
        cls, n = self.info.cls, self.info.size
        for _ in range(3):
            values = [cls(*[float(i)] * n) for i in range(200)]
            subs = [self.info.Slotted(*[float(i)] * n) for i in range(200)]
            for s in subs:
                s.a = 'slot'
            del values, subs
            fresh = [cls.__new__(cls) for _ in range(100)]
            made = [cls(*self.sample()) + cls(*[0] * n) for _ in range(100)]
            for f in fresh:
                self.assertIs(type(f), cls)
                self.assertEqual(self.read(f), [0.0] * n)
            for m in made:
                self.assertIs(type(m), cls)
                self.assertEqual(self.read(m), self.sample())
            slotted = self.info.Slotted(*self.sample())
            self.assertFalse(hasattr(slotted, 'a'))

    def test_reference_counts_of_types_and_values_stay_balanced(self):
        cls, sub = self.info.cls, self.info.Sub
        v = self.info.make()

        def churn():
            sub(*self.sample())
            s = sub(*self.sample())
            s * 2
            u = v
            u *= 1.0
            u /= 1
            u += v
            u -= v
            copy.copy(v)
            copy.copy(s)
            v.__reduce__()
            del s, u
        churn()  # warms whatever the first calls cache
        before = (sys.getrefcount(cls), sys.getrefcount(sub), sys.getrefcount(v))
        for _ in range(1000):
            churn()
        self.assertEqual((sys.getrefcount(cls), sys.getrefcount(sub), sys.getrefcount(v)), before)

    # --- memory ---------------------------------------------------------------

    def test_no_growth_over_the_scaffold_operations_and_their_failures(self):
        info = self.info
        v, w, s = info.make(), info.make(), info.Sub(*self.sample())
        slotted, labelled = info.Slotted(*self.sample()), info.Labelled('g')
        slotted.a = 'x'
        s.label = [1]
        rebuild = info.module._rebuild
        good = tuple(self.sample())

        def in_place():
            u = info.make()
            u += w
            u *= 1.0
            u /= 0
            if info.vector:
                u -= 1
        ops = [lambda: v + w, lambda: v - w, lambda: 2.0 * v, lambda: v * 3, lambda: v / 2,
               lambda: v / 0, lambda: str(v), lambda: info.make(), lambda: s * 2, in_place,
               lambda: info.Sub(*good), lambda: copy.copy(v), lambda: copy.deepcopy(s),
               lambda: copy.copy(slotted), lambda: copy.deepcopy(labelled),
               lambda: s.__reduce__(), lambda: rebuild(good), lambda: rebuild(good, info.Mixed),
               calls(rebuild, good[1:]), calls(rebuild, good, int), calls(rebuild, ('a',) * info.size),
               calls(lambda: v + None), calls(lambda: 1 / v), calls(lambda: v // 2),
               calls(lambda: v / 'x'), calls(info.cls, 1, 2), calls(info.cls, *['a'] * info.size),
               calls(lambda: v * long_type(2)), calls(lambda: v * HUGE), calls(lambda: v / HUGE),
               calls(info.cls, *[HUGE] * info.size), calls(operator.imul, v, 'x'),
               calls(lambda: v * (2 ** 70 + 1)), lambda: copy.copy(info.Stateful(*good))]
        if info.texts['index'] is not None:
            ops += [lambda: v[1], lambda: list(v), calls(lambda: v[7]),
                    lambda: operator.setitem(v, 0, 1.0),
                    calls(operator.setitem, v, 0, 'a'), calls(operator.setitem, v, 0, HUGE),
                    calls(operator.delitem, v, 0)]
        if info.vector:
            ops += [lambda: -v, lambda: +v, lambda: v + 1, calls(lambda: v + HUGE)]
        ops += [lambda p=p, x=x: pickle.loads(pickle.dumps(x, p))
                for p in range_(pickle.HIGHEST_PROTOCOL + 1) for x in (v, s, slotted)]
        assert_ops_no_growth(self, ops, 2000)

    def test_in_place_no_growth(self):
        info = self.info

        def loop():
            v, w = info.make(), info.cls(*[1] * info.size)
            for _ in range(100000):
                v += w
                v -= w
                v *= 1.0
                v /= 1
                try:
                    v *= w
                except TypeError:
                    pass
                if info.vector and PY3:
                    try:
                        v += HUGE
                    except OverflowError:
                        pass
        assert_no_growth(self, loop)


# One TestCase per type for the scaffold's cases and for the copy cases.
for _info in TYPES:
    globals()[_info.name + 'Scaffold'] = type(
        _info.name + 'Scaffold', (ScaffoldCase, unittest.TestCase), {'info': _info})
    globals()[_info.name + 'CopyCases'] = type(
        _info.name + 'CopyCases', (CopyCases, unittest.TestCase),
        {'module': _info.module, 'cls': _info.cls, 'size': _info.size,
         'read': staticmethod(_info.read), 'Sub': _info.Sub, 'Slotted': _info.Slotted,
         'Mixed': _info.Mixed, 'Labelled': _info.Labelled, 'Stateful': _info.Stateful})
del _info


if __name__ == '__main__':
    unittest.main()
