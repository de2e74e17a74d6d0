"""The Triad vector's own methods, module functions and product; what it
shares with Hexad and Ennead is tested once in
common/tests/test_value_type_scaffold.py."""
import math
import unittest

import Triad
from Triad import Triad as T, CrossProd, TripleProd
from messages import MessageAssertions
from rss import assert_no_growth, calls


def comps(v):
    return (v.x(), v.y(), v.z())


class Sub(T):
    pass


class ModuleTest(unittest.TestCase):
    def test_module_and_method_texts(self):
        self.assertEqual(Triad.__doc__, "Module that implements a three element vector")
        docs = dict((m, getattr(T, m).__doc__) for m in
                    ('x', 'y', 'z', 'Magnitude', 'Normalize', 'Max', 'Min'))
        self.assertEqual(docs, {'x': "x coordinate", 'y': "y coordinate", 'z': "z coordinate",
                                'Magnitude': "vector magnitude",
                                'Normalize': "normalize the vector",
                                'Max': "componentwise max", 'Min': "componentwise min"})


class MethodTest(MessageAssertions, unittest.TestCase):
    def test_magnitude_and_normalize(self):
        self.assertEqual(T(3, 4, 0).Magnitude(), 5.0)
        v = T(0, 0, 5)
        n = v.Normalize()
        self.assertEqual(comps(n), (0.0, 0.0, 1.0))
        self.assertEqual(comps(v), (0.0, 0.0, 5.0))
        self.assertIsNot(n, v)
        for zero in (T(0, 0, 0), T(-0.0, 0, -0.0)):
            self.assertFails(TypeError, "Cannot normalize a zero length Triad", zero.Normalize)
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
                self.assertFails(TypeError, "argument should be a Triad object", m, bad)
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
            self.assertFails(TypeError, msg, fn, *args)
        self.assertRaises(TypeError, CrossProd, v)
        self.assertRaises(TypeError, TripleProd, v, v, v, v)


class ProductTest(unittest.TestCase):
    def test_the_product_of_two_vectors_is_their_dot_product(self):
        a, b = T(1, 2, 3), T(4, 5, 6)
        self.assertEqual(a * b, 32.0)
        self.assertIs(type(a * b), float)
        self.assertEqual((comps(a), comps(b)), ((1.0, 2.0, 3.0), (4.0, 5.0, 6.0)))

    def test_dot_product_summation_order(self):
        # (y*y + x*x) + z*z: 1e16 + 1 is lost before -1e16 cancels it.
        a = T(1.0, 1e8, -1e8)
        self.assertEqual(a * T(1.0, 1e8, 1e8), (1e16 + 1.0) - 1e16)


class MemoryTest(unittest.TestCase):
    def test_no_growth(self):
        v, w = T(1, 2, 3), T(4, 5, 6)
        ops = [lambda: v * w, lambda: v.Normalize(), lambda: Sub(1, 0, 0).Normalize(),
               lambda: v.Max(w), lambda: v.Min(w), lambda: v.Magnitude(),
               lambda: CrossProd(v, w), lambda: TripleProd(v, w, v),
               calls(T(0, 0, 0).Normalize), calls(v.Max, 3), calls(v.Min),
               calls(CrossProd, v, 1), calls(TripleProd, v, v, Sub(1, 1, 1))]

        def loop():
            for _ in range(50000):
                for op in ops:
                    op()
        assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
