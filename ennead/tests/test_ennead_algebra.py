"""The tensor algebra of Ennead: transpose, determinant, inverse, trace and
the tensor applied to a vector as methods, and the batch functions over
float64 rows, each row bit for bit the method on that row; the formulas
themselves are checked natively (full_tensor_test.cpp)."""
import math
import unittest

import Ennead
import Triad
from Ennead import Ennead as E
from batch_rows import as_array, bits, flat, numpy, random_rows, seeded
from dialect import signature
from rss import assert_ops_no_growth, calls
from messages import MessageAssertions


def values(t):
    return [t[r, c] for r in range(3) for c in range(3)]


class TestMethods(MessageAssertions, unittest.TestCase):
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
        self.assertFails(TypeError, "Can only multiply a number or a Ennead with a Ennead instance",
                         lambda: self.t * Triad.Triad(1, 2, 3))

    def test_doc_strings_start_with_their_signature(self):
        for name in ['Transpose', 'Determinant', 'Inverse', 'Trace']:
            self.assertEqual(signature(getattr(E, name)), '($self, /)')
        self.assertEqual(signature(E.Apply), '($self, v, /)')

    def test_no_growth_succeeding_and_failing(self):
        t = self.t
        ops = [t.Transpose, t.Determinant, t.Inverse, t.Trace, lambda: t.Apply((1, 2, 3)),
               calls(t.Apply, 3), calls(t.Apply, (1, 2)), calls(t.Apply, (1, 'x', 3))]
        assert_ops_no_growth(self, ops, 20000)


def tensors(rows):
    return [E(*row) for row in rows]


class TestBatchesMatchTheMethods(unittest.TestCase):
    def setUp(self):
        self.rows = random_rows(seeded(9), 300, 9) + [[0.0] * 9, [1, 2, 3, 4, 5, 6, 7, 8, 9]]
        self.others = random_rows(seeded(10), len(self.rows), 9)
        shape = (len(self.rows), 3, 3)
        self.a = as_array(self.rows, shape)
        self.b = as_array(self.others, shape)

    def test_unary_and_scalar_functions(self):
        for name, method in [('TransposeMany', E.Transpose), ('InverseMany', E.Inverse),
                             ('DeterminantMany', E.Determinant), ('TraceMany', E.Trace)]:
            got = flat(getattr(Ennead, name)(self.a))
            want = [x for t in tensors(self.rows) for x in flat(method(t))]
            self.assertEqual(bits(got), bits(want), name)

    def test_products_of_rows_and_with_one_tensor_on_either_side(self):
        want = [x for s, t in zip(tensors(self.rows), tensors(self.others)) for x in flat(s * t)]
        self.assertEqual(bits(flat(Ennead.ProductMany(self.a, self.b))), bits(want))
        one = E(1, -2, 0.5, 3, 0, -1, 2, 2, 7)
        want = [x for t in tensors(self.rows) for x in flat(one * t)]
        self.assertEqual(bits(flat(Ennead.ProductMany(one, self.a))), bits(want))
        want = [x for t in tensors(self.rows) for x in flat(t * one)]
        self.assertEqual(bits(flat(Ennead.ProductMany(self.a, one))), bits(want))

    def test_tensors_applied_to_vectors(self):
        vectors = random_rows(seeded(11), len(self.rows), 3)
        v = as_array(vectors)
        want = [x for t, u in zip(tensors(self.rows), vectors) for x in flat(t.Apply(u))]
        self.assertEqual(bits(flat(Ennead.ApplyMany(self.a, v))), bits(want))
        one = E(1, -2, 0.5, 3, 0, -1, 2, 2, 7)
        want = [x for u in vectors for x in flat(one.Apply(u))]
        self.assertEqual(bits(flat(Ennead.ApplyMany(one, v))), bits(want))


class TestBatchShapesAndOut(MessageAssertions, unittest.TestCase):
    def test_results_keep_the_row_form_of_their_input(self):
        rows = [[1, 2, 3, 4, 5, 6, 7, 8, 10]] * 2
        self.assertEqual(Ennead.TransposeMany(as_array(rows, (2, 3, 3))).shape, (2, 3, 3))
        self.assertEqual(Ennead.TraceMany(as_array(rows, (2, 3, 3))).shape, (2,))
        self.assertEqual(Ennead.ApplyMany(E(*range(9)), as_array([[1, 0, 0]])).shape, (1, 3))
        if numpy is not None:
            flat_rows = as_array(rows, (2, 9))
            self.assertEqual(Ennead.InverseMany(flat_rows).shape, (2, 9))
            self.assertEqual(Ennead.ProductMany(E(*range(9)), flat_rows).shape, (2, 9))
            empty = numpy.empty((0, 3, 3))
            self.assertEqual(Ennead.DeterminantMany(empty).shape, (0,))
            self.assertEqual(Ennead.ProductMany(empty, empty).shape, (0, 3, 3))
        self.assertEqual(Ennead.TraceMany([]).tolist(), [])

    def test_out_may_be_an_operand_itself(self):
        a = Ennead.TransposeMany(as_array([[1, 2, 3, 4, 5, 6, 7, 8, 10]], (1, 3, 3)))
        t = E(1, 4, 7, 2, 5, 8, 3, 6, 10)
        s = E(2, 0, 0, 0, 3, 0, 1, 0, 4)
        self.assertIs(Ennead.ProductMany(a, s, out=a), a)
        self.assertEqual(flat(a), flat(t * s))
        self.assertIs(Ennead.InverseMany(a, out=a), a)
        self.assertEqual(bits(flat(a)), bits(flat((t * s).Inverse())))
        v = Ennead.ApplyMany(E(1, 0, 0, 0, 1, 0, 0, 0, 1), as_array([[1, 2, 3]]))
        Ennead.ApplyMany(s, v, out=v)
        self.assertEqual(flat(v), flat(s.Apply((1, 2, 3))))

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_out_sharing_memory_otherwise_is_refused(self):
        a = numpy.arange(18.0).reshape(2, 3, 3)
        self.assertFails(ValueError, "out must be x itself or share no memory with it",
                         lambda: Ennead.TransposeMany(a[:1],
                                                      out=a.reshape(-1)[1:10].reshape(1, 3, 3)))
        self.assertFails(ValueError, "out must share no memory with x",
                         lambda: Ennead.DeterminantMany(a, out=a.reshape(-1)[:2]))
        self.assertFails(ValueError, "out must share no memory with tensors",
                         lambda: Ennead.ApplyMany(a, numpy.ones((2, 3)),
                                                  out=a.reshape(-1)[3:9].reshape(2, 3)))
        self.assertEqual(a.ravel().tolist(), list(range(18)))

    def test_refusals(self):
        a = as_array([[1] * 9] * 2, (2, 3, 3))
        self.assertFails(TypeError, "ProductMany() takes at least one array of rows",
                         lambda: Ennead.ProductMany(E(*range(9)), E(*range(9))))
        self.assertFails(ValueError, "a and b must have as many rows, not 2 and 3",
                         lambda: Ennead.ProductMany(a, as_array([[1] * 9] * 3, (3, 3, 3))))
        # One tensor is no batch: its buffer has the shape of one row.
        with self.assertRaises(ValueError) as cm:
            Ennead.TraceMany(E(*range(9)))
        self.assertIn("x must be a float64 array of shape (N, 3, 3) or (N, 9)", str(cm.exception))
        self.assertIn("not an array of shape (3, 3)", str(cm.exception))
        # A vector's buffer is a flat batch of one row.
        self.assertFails(ValueError, "tensors and vectors must have as many rows, not 2 and 1",
                         lambda: Ennead.ApplyMany(a, Triad.Triad(1, 2, 3)))
        if numpy is not None:
            with self.assertRaises(ValueError) as cm:
                Ennead.TraceMany(numpy.zeros((2, 3, 4)))
            self.assertIn("not an array of shape (2, 3, 4)", str(cm.exception))
            self.assertRaises(TypeError, Ennead.TraceMany, numpy.zeros((2, 3, 3), 'i'))
            self.assertRaises(TypeError, Ennead.TraceMany, numpy.zeros((2, 3, 6))[:, :, ::2])
            self.assertRaises(TypeError, Ennead.TransposeMany, a,
                              out=numpy.zeros((2, 3, 3))[:, ::-1])
        self.assertEqual(signature(Ennead.ProductMany), '($module, a, b, /, *, out=None)')

    def test_no_growth_succeeding_and_failing(self):
        a = as_array([[1, 2, 3, 4, 5, 6, 7, 8, 10]] * 40, (40, 3, 3))
        v = as_array([[1, 2, 3]] * 40)
        one = E(*range(9))
        ops = [lambda: Ennead.ProductMany(a, a), lambda: Ennead.ProductMany(one, a),
               lambda: Ennead.ApplyMany(a, v), lambda: Ennead.TransposeMany(a),
               lambda: Ennead.InverseMany(a), lambda: Ennead.DeterminantMany(a),
               lambda: Ennead.TraceMany(a), calls(Ennead.ProductMany, one, one),
               calls(Ennead.ApplyMany, a, v[:1] if numpy is not None else [[1, 2, 3]]),
               calls(lambda: Ennead.TraceMany(a, out=v)), calls(Ennead.TraceMany, [[1, 2]])]
        assert_ops_no_growth(self, ops, 2000)


if __name__ == '__main__':
    unittest.main()
