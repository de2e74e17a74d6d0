"""The buffer protocol of the three value types (one mechanism in the shared
scaffold): shapes and formats, writes through a view, views outliving the
value's last name and the free list; and `/` under Python 2.7's future
division, which reaches the same division as classic `/`."""
import __future__
import gc
import struct
import sys
import unittest

from Ennead import Ennead
from Hexad import Hexad
from Triad import Triad
from dialect import PY3, divide, inplace_divide
from rss import assert_no_growth
from messages import MessageAssertions

try:
    import numpy
except ImportError:  # Python 2.7 has no numpy here; its cases are skipped
    numpy = None

# (type, components, buffer shape)
TYPES = [(Triad, (1.5, -2.0, 0.25), (3,)),
         (Hexad, (1.0, 2.0, 3.0, -4.0, 5.5, 6.0), (6,)),
         (Ennead, (1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, -9.5), (3, 3))]


def doubles(view):
    """The doubles of a view, read as bytes under both interpreters."""
    data = view.tobytes()
    return struct.unpack('%dd' % (len(data) // 8), data)


def comps_of(v):
    return list(doubles(memoryview(v)))


def bits(values):
    return [struct.pack('d', x) for x in values]


class ShapesAndFormats(unittest.TestCase):
    def test_each_type_exports_its_own_doubles_row_major(self):
        for cls, comps, shape in TYPES:
            v = cls(*comps)
            m = memoryview(v)
            self.assertEqual((m.format, m.itemsize, m.readonly), ('d', 8, False), cls)
            self.assertEqual(tuple(m.shape), shape)
            self.assertEqual(tuple(m.strides), (24, 8) if len(shape) == 2 else (8,))
            self.assertEqual(doubles(m), comps)
            self.assertEqual(len(m.tobytes()), 8 * len(comps))

    def test_a_write_through_the_view_changes_the_value_and_back(self):
        for cls, comps, _ in TYPES:
            v = cls(*comps)
            m = memoryview(v)
            if PY3:
                m = m.cast('B').cast('d')
                m[1] = -0.0
            elif m.ndim == 1:  # Python 2.7's memoryview assigns only in one dimension
                m[1:2] = memoryview(Triad(-0.0, 0, 0))[0:1]
            else:
                v[0:1] = -0.0
            self.assertEqual(bits(list(doubles(memoryview(v)))[1:2]), bits([-0.0]))
            v *= 2
            self.assertEqual(doubles(m)[0], 2 * comps[0])

    def test_conversions_still_refuse_the_value(self):
        # Python 3's float() and int() would read a plain-bytes buffer as text.
        for cls, comps, _ in TYPES:
            v = cls(*comps)
            for convert in (float, int):
                with self.assertRaises(TypeError) as cm:
                    convert(v)
                self.assertIn("argument must be a string", str(cm.exception))

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_numpy_wraps_the_value_without_a_copy(self):
        for cls, comps, shape in TYPES:
            v = cls(*comps)
            a = numpy.asarray(v)
            self.assertEqual((a.dtype, a.shape, a.flags.writeable), (numpy.float64, shape, True))
            self.assertEqual(a.ravel().tolist(), list(comps))
            a.flat[len(comps) - 1] = 42.0
            self.assertEqual(memoryview(v).tobytes()[-8:], struct.pack('d', 42.0))
            v *= 0.5
            self.assertEqual(a.flat[0], comps[0] * 0.5)
            self.assertTrue(numpy.shares_memory(a, numpy.asarray(v)))

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_hexad_to_full_tensor_and_back_through_numpy(self):
        # The one-liners of the README.
        h = Hexad(1, 2, 3, 4, 5, 6)
        full = numpy.asarray(h)[[0, 3, 5, 3, 1, 4, 5, 4, 2]].reshape(3, 3)
        self.assertEqual(full.tolist(), [[1, 4, 6], [4, 2, 5], [6, 5, 3]])
        e = Ennead(*full.ravel())
        self.assertEqual(str(e), "1 4 6 4 2 5 6 5 3")
        m = numpy.asarray(e)
        back = Hexad(*m[[0, 1, 2, 0, 1, 2], [0, 1, 2, 1, 2, 0]])
        self.assertEqual(list(back), list(h))


class ViewedValuesStayAlive(unittest.TestCase):
    def churn(self, cls, comps):
        """Makes and drops many values of exactly `cls` through the free list,
        writing into each; returns the last."""
        r = None
        for _ in range(200):
            r = cls(*comps) * 3.0
        return r

    def test_a_view_holds_its_value(self):
        for cls, comps, _ in TYPES:
            v = cls(*comps)
            before = sys.getrefcount(v)
            m = memoryview(v)
            # Python 2.7's memoryview holds it twice, as its base and its view's.
            self.assertGreater(sys.getrefcount(v), before)
            if PY3:
                m.release()
            else:
                del m
            self.assertEqual(sys.getrefcount(v), before)

    def test_the_free_list_never_reuses_a_viewed_value(self):
        for cls, comps, _ in TYPES:
            # An arithmetic result comes from the free list and goes back to it.
            m = memoryview(cls(*comps) * 1.0)
            expected = doubles(m)
            gc.collect()
            last = self.churn(cls, comps)
            self.assertEqual(doubles(m), expected, cls)
            # Nothing made since shares the viewed memory.
            last *= 0.0
            self.assertEqual(doubles(m), expected, cls)

    def test_views_of_subclass_instances_outlive_their_last_name(self):
        for cls, comps, _ in TYPES:
            sub = type('Sub', (cls,), {})
            m = memoryview(sub(*comps))
            gc.collect()
            self.churn(cls, comps)
            self.assertEqual(doubles(m), comps)

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_numpy_arrays_outlive_their_value(self):
        arrays = [numpy.asarray(cls(*comps)) for cls, comps, _ in TYPES]
        gc.collect()
        for (cls, comps, _), a in zip(TYPES, arrays):
            self.churn(cls, comps)
            self.assertEqual(a.ravel().tolist(), list(comps))

    def test_views_leak_nothing(self):
        values = [cls(*comps) for cls, comps, _ in TYPES]

        def loop():
            for _ in range(20000):
                for v in values:
                    doubles(memoryview(v))
                memoryview(Triad(1, 2, 3))
                if numpy is not None:
                    numpy.asarray(values[2])
        assert_no_growth(self, loop)


def future_divide(a, b):
    """`a / b` in a script that starts with `from __future__ import division`."""
    scope = {'a': a, 'b': b}
    exec(compile('r = a / b', '<script>', 'exec', __future__.division.compiler_flag, True), scope)
    return scope['r']


def future_inplace_divide(a, b):
    scope = {'a': a, 'b': b}
    exec(compile('a /= b', '<script>', 'exec', __future__.division.compiler_flag, True), scope)
    return scope['a']


def future_floor_divide(a, b):
    scope = {'a': a, 'b': b}
    exec(compile('r = a // b', '<script>', 'exec', __future__.division.compiler_flag, True), scope)


class FutureDivision(MessageAssertions, unittest.TestCase):
    def test_future_division_gives_the_bits_of_classic_division(self):
        tiny = 5e-324
        for cls, comps, _ in TYPES:
            v = cls(*comps)
            for d in [0, 0.0, -0.0, 3, True, 7.25, tiny, float('inf'), float('nan')]:
                got = comps_of(future_divide(v, d))
                self.assertIs(type(future_divide(v, d)), cls)
                self.assertEqual(bits(got), bits(comps_of(divide(v, d))), (cls, d))
            w = cls(*comps)
            alias = w
            w = future_inplace_divide(w, 4)
            self.assertIs(w, alias)
            self.assertEqual(bits(comps_of(w)), bits(comps_of(inplace_divide(cls(*comps), 4))))

    def test_future_division_keeps_the_refusals(self):
        messages = {Triad: "Can only divide a Triad by a number",
                    Hexad: "Can only divide a Hexad by a number",
                    Ennead: "Can only divide a Ennead by a number"}
        for cls, comps, _ in TYPES:
            v = cls(*comps)
            for a, b in [(v, "2"), (v, v), (2, v)]:
                self.assertFails(TypeError, messages[cls], lambda: future_divide(a, b))
            with self.assertRaises(TypeError) as cm:
                future_floor_divide(v, 2)
            self.assertIn("unsupported operand type(s) for //", str(cm.exception))
            self.assertEqual(comps_of(v), list(comps))


if __name__ == '__main__':
    unittest.main()
