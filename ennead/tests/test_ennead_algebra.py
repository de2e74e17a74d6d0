"""The tensor algebra of Ennead: transpose, determinant, inverse, trace and
the tensor applied to a vector as methods; the formulas themselves are
checked natively (full_tensor_test.cpp)."""
import math
import unittest

import Triad
from Ennead import Ennead as E
from dialect import signature
from rss import assert_ops_no_growth, calls


def values(t):
    return [t[r, c] for r in range(3) for c in range(3)]


class TestMethods(unittest.TestCase):
    def setUp(self):
        self.t = E(2, 1, 0, 0, 3, 0, 1, 0, 4)

    def test_each_method_gives_a_new_value_and_leaves_the_tensor(self):
        t = self.t
        tt = t.Transpose()
        self.assertIs(type(tt), E)
        self.assertEqual(values(tt), [2, 0, 1, 1, 3, 0, 0, 0, 4])
        self.assertEqual((t.Determinant(), t.Trace()), (24.0, 9.0))
        inv = t.Inverse()
        self.assertIs(type(inv), E)
        for x, y in zip(values(inv * t), [1, 0, 0, 0, 1, 0, 0, 0, 1]):
            self.assertAlmostEqual(x, y, places=15)
        self.assertEqual(values(t), [2, 1, 0, 0, 3, 0, 1, 0, 4])
        self.assertIsNot(t.Transpose(), t.Transpose())

    def test_subclass_instances_give_plain_tensors(self):
        sub = type('Sub', (E,), {})(*range(9))
        self.assertIs(type(sub.Transpose()), E)
        self.assertIs(type(sub.Inverse()), E)

    def test_a_singular_tensor_inverts_to_infinities_or_nans(self):
        inv = E(1, 2, 3, 4, 5, 6, 7, 8, 9).Inverse()
        self.assertTrue(all(math.isinf(x) or math.isnan(x) for x in values(inv)))
        self.assertTrue(all(math.isnan(x) for x in values(E(*[0] * 9).Inverse())))

    def test_apply_reads_any_three_numbers_and_builds_a_bound_vector(self):
        for v in [Triad.Triad(1, -1, 2), (1, -1, 2), [1.0, -1, 2.0]]:
            w = self.t.Apply(v)
            self.assertIs(type(w), Triad.Triad)
            self.assertEqual([w[0], w[1], w[2]], [1.0, -3.0, 9.0])

    def test_apply_refuses_what_is_no_vector_and_the_product_operator_stays(self):
        self.assertRaises(TypeError, self.t.Apply, 3)
        self.assertRaises(IndexError, self.t.Apply, (1, 2))
        self.assertRaises(TypeError, self.t.Apply)
        self.assertRaises(TypeError, self.t.Transpose, 1)
        with self.assertRaises(TypeError) as cm:
            self.t * Triad.Triad(1, 2, 3)
        self.assertEqual(str(cm.exception),
                         "Can only multiply a number or a Ennead with a Ennead instance")

    def test_doc_strings_start_with_their_signature(self):
        for name in ['Transpose', 'Determinant', 'Inverse', 'Trace']:
            self.assertEqual(signature(getattr(E, name)), '($self, /)')
        self.assertEqual(signature(E.Apply), '($self, v, /)')

    def test_no_growth_succeeding_and_failing(self):
        t = self.t
        ops = [t.Transpose, t.Determinant, t.Inverse, t.Trace, lambda: t.Apply((1, 2, 3)),
               calls(t.Apply, 3), calls(t.Apply, (1, 2)), calls(t.Apply, (1, 'x', 3))]
        assert_ops_no_growth(self, ops, 20000)


if __name__ == '__main__':
    unittest.main()
