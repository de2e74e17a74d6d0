"""Hexad's traction on a plane and its batch functions over float64 rows,
each row bit for bit the per-object method on that row."""
import threading
import unittest

import Hexad
import Triad
from Hexad import Hexad as H
from batch_rows import as_array, bits, flat, numpy, random_rows, seeded
from dialect import signature
from rss import assert_ops_no_growth, calls
from messages import MessageAssertions

SCALARS = ['Norm', 'I1', 'I2', 'I3', 'J2', 'EffectiveStress', 'EffectiveStrain']


def principal_flat(t):
    """The method's principal values and directions as the batch lays them
    out: values, then the direction matrix row by row (columns are the
    directions)."""
    p, dirs = t.PrincipalValues()
    return [p[0], p[1], p[2]] + [dirs[k][j] for j in range(3) for k in range(3)]


class TestTraction(unittest.TestCase):
    def test_traction_is_the_tensor_applied_to_the_normal(self):
        t = H(1, 2, 3, 4, 5, 6)
        for n in [Triad.Triad(0, 1, 0), (0, 1, 0), [0.0, 1, 0.0]]:
            w = t.Traction(n)
            self.assertIs(type(w), Triad.Triad)
            self.assertEqual([w[0], w[1], w[2]], [4.0, 2.0, 5.0])
        w = t.Traction((1, 1, 1))
        self.assertEqual([w[0], w[1], w[2]], [11.0, 11.0, 14.0])
        self.assertEqual(list(t), [1, 2, 3, 4, 5, 6])

    def test_traction_refuses_what_is_no_vector(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, t.Traction, 3)
        self.assertRaises(IndexError, t.Traction, (1, 2))
        self.assertRaises(TypeError, t.Traction)
        self.assertEqual(signature(H.Traction), '($self, n, /)')

    def test_traction_no_growth(self):
        t = H(1, 2, 3, 4, 5, 6)
        ops = [lambda: t.Traction((0, 0, 1)), calls(t.Traction, 3), calls(t.Traction, (1, 2))]
        assert_ops_no_growth(self, ops, 20000)


def tied_rows():
    """Rows whose principal values tie: isotropic, two equal, and diagonal
    ties the solver leaves in their order."""
    return [[2.0, 2.0, 2.0, 0.0, 0.0, 0.0], [1.0, 1.0, 3.0, 0.0, 0.0, 0.0],
            [0.0, 0.0, 0.0, 0.0, 0.0, 0.0], [1.0, 1.0, 1.0, 1e-300, 0.0, 0.0],
            [-0.0, 0.0, -0.0, 0.0, -0.0, 0.0], [1.0, 2.0, 1.0, 0.0, 0.0, 0.0]]


class TestBatchesMatchTheMethods(unittest.TestCase):
    def setUp(self):
        rng = seeded(6)
        self.rows = random_rows(rng, 300, 6) + tied_rows()
        self.x = as_array(self.rows)

    def test_scalar_measures(self):
        for name in SCALARS:
            got = flat(getattr(Hexad, name + 'Many')(self.x))
            want = [getattr(H(*row), name)() for row in self.rows]
            self.assertEqual(bits(got), bits(want), name)

    def test_deviatoric_part(self):
        got = flat(Hexad.DeviatoricPartMany(self.x))
        want = [c for row in self.rows for c in flat(H(*row).DeviatoricPart())]
        self.assertEqual(bits(got), bits(want))

    def test_principal_values_and_directions(self):
        values, directions = Hexad.PrincipalValuesMany(self.x)
        self.assertEqual((values.shape, directions.shape), ((306, 3), (306, 3, 3)))
        got_v, got_d = flat(values), flat(directions)
        for i, row in enumerate(self.rows):
            want = principal_flat(H(*row))
            self.assertEqual(bits(got_v[3 * i:3 * i + 3] + got_d[9 * i:9 * i + 9]), bits(want),
                             row)

    def test_traction_with_rows_or_one_tensor(self):
        normals_rows = random_rows(seeded(7), len(self.rows), 3)
        normals = as_array(normals_rows)
        got = flat(Hexad.TractionMany(self.x, normals))
        want = [c for row, n in zip(self.rows, normals_rows) for c in flat(H(*row).Traction(n))]
        self.assertEqual(bits(got), bits(want))
        one = H(1, 2, 3, 4, 5, 6)
        got = flat(Hexad.TractionMany(one, normals))
        self.assertEqual(bits(got), bits([c for n in normals_rows for c in flat(one.Traction(n))]))

    def test_sequences_of_rows_are_read_too(self):
        self.assertEqual(flat(Hexad.I1Many([[1, 2, 3, 4, 5, 6], (1.5, 0, 0, 0, 0, 0)])), [6.0, 1.5])


class TestResultsAndOut(MessageAssertions, unittest.TestCase):
    def test_results_carry_their_shape_and_empty_batches_give_empty_results(self):
        x = as_array([[1, 2, 3, 4, 5, 6]] * 4)
        self.assertEqual(Hexad.NormMany(x).shape, (4,))
        self.assertEqual(Hexad.DeviatoricPartMany(x).shape, (4, 6))
        self.assertEqual(Hexad.TractionMany(x, as_array([[1, 0, 0]] * 4)).shape, (4, 3))
        self.assertIs(type(Hexad.NormMany(x)), Hexad.Array)
        empty = as_array([], (0, 6)) if numpy is not None else as_array([])
        self.assertEqual(Hexad.EffectiveStressMany(empty).shape, (0,))
        values, directions = Hexad.PrincipalValuesMany(empty)
        self.assertEqual((values.shape, directions.shape), ((0, 3), (0, 3, 3)))
        self.assertEqual(Hexad.EffectiveStressMany([]).tolist(), [])

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_numpy_wraps_results_without_a_copy(self):
        r = Hexad.DeviatoricPartMany(numpy.ones((3, 6)))
        a = numpy.asarray(r)
        self.assertEqual((a.shape, a.dtype), ((3, 6), numpy.float64))
        a[0, 0] = 7.0
        self.assertEqual(numpy.asarray(r)[0, 0], 7.0)

    def test_out_receives_the_results_and_is_returned(self):
        x = as_array([[1, 2, 3, 4, 5, 6], [0, 0, 0, 1, 0, 0]])
        out = as_array([[0.0], [0.0]], (2,))
        self.assertIs(Hexad.I2Many(x, out=out), out)
        self.assertEqual(list(out), [-66.0, -1.0])
        values, directions = as_array([[0.0] * 3] * 2), as_array([[0.0] * 9] * 2, (2, 3, 3))
        r = Hexad.PrincipalValuesMany(x, out=(values, directions))
        self.assertIs(r[0], values)
        self.assertIs(r[1], directions)
        self.assertEqual(bits(flat(values) + flat(directions)),
                         bits(principal_flat(H(1, 2, 3, 4, 5, 6))[:3]
                              + principal_flat(H(0, 0, 0, 1, 0, 0))[:3]
                              + principal_flat(H(1, 2, 3, 4, 5, 6))[3:]
                              + principal_flat(H(0, 0, 0, 1, 0, 0))[3:]))

    def test_out_may_be_the_input_only_where_the_width_agrees(self):
        rows = [[1, 2, 3, 4, 5, 6], [3, 0, 0, 0, 0, 1]]
        # An Array result is a writable buffer under both interpreters
        # (Python 2.7's array.array is copied, so it never shares memory).
        x = Hexad.DeviatoricPartMany(as_array(rows))
        before = flat(x)
        self.assertIs(Hexad.DeviatoricPartMany(x, out=x), x)
        self.assertEqual(bits(flat(x)), bits(flat(Hexad.DeviatoricPartMany([before[:6], before[6:]]))))
        normals = Hexad.TractionMany(H(1, 0, 0, 0, 0, 0), as_array([[0, 1, 0], [1, 0, 0]]))
        t = H(1, 2, 3, 4, 5, 6)
        Hexad.TractionMany(t, normals, out=normals)
        self.assertEqual(flat(normals), flat(t.Traction((0, 0, 0))) + flat(t.Traction((1, 0, 0))))

    @unittest.skipIf(numpy is None, 'numpy is a test dependency of the Python 3 suites')
    def test_out_sharing_memory_otherwise_is_refused(self):
        x = numpy.arange(12.0).reshape(2, 6)
        self.assertFails(ValueError, "out must share no memory with x",
                         lambda: Hexad.EffectiveStressMany(x, out=x.reshape(-1)[:2]))
        self.assertFails(ValueError, "out must be x itself or share no memory with it",
                         lambda: Hexad.DeviatoricPartMany(x[:1],
                                                          out=x.reshape(-1)[1:7].reshape(1, 6)))
        d = numpy.empty((2, 3, 3))
        self.assertFails(ValueError, "out directions must share no memory with out values",
                         lambda: Hexad.PrincipalValuesMany(
                             x, out=(d.reshape(-1)[:6].reshape(2, 3), d)))
        self.assertEqual(x.ravel().tolist(), list(range(12)))

    def test_refusals_name_what_was_expected_and_what_came(self):
        cases = [(TypeError, "x must be a float64 array of shape (N, 6)", [1, 2, 3]),
                 (TypeError, "x must be a float64 array of shape (N, 6)", 5)]
        if numpy is not None:
            x = numpy.zeros((4, 6))
            cases += [(TypeError, "not an array of format 'f'", x.astype('f')),
                      (TypeError, "non-contiguous", x[::2]),
                      (ValueError, "not an array of shape (4, 5)", numpy.zeros((4, 5)))]
        for error, text, arg in cases:
            with self.assertRaises(error) as cm:
                Hexad.EffectiveStressMany(arg)
            self.assertIn(text, str(cm.exception))
        x = as_array([[1, 2, 3, 4, 5, 6]] * 2)
        self.assertFails(ValueError, "tensors and normals must have as many rows, not 2 and 3",
                         lambda: Hexad.TractionMany(x, as_array([[1, 0, 0]] * 3)))
        self.assertRaises(TypeError, Hexad.PrincipalValuesMany, x, out=[1, 2])
        self.assertRaises(ValueError, Hexad.NormMany, x, out=as_array([[0.0]] * 3, (3,)))
        self.assertFails(TypeError, "NormMany() takes exactly 1 positional argument (2 given)",
                         lambda: Hexad.NormMany(x, x))
        with self.assertRaises(TypeError) as cm:
            Hexad.NormMany(x=x)
        self.assertRaises(TypeError, Hexad.NormMany, x, output=None)
        self.assertEqual(signature(Hexad.EffectiveStressMany), '($module, x, /, *, out=None)')

    def test_large_batches_in_threads_give_the_same_results(self):
        # Large enough that the loops run without the interpreter lock.
        rows = random_rows(seeded(8), 5000, 6, salt=0.0)
        x = as_array(rows)
        expected = bits(flat(Hexad.PrincipalValuesMany(x)[0]))
        results = []
        workers = [threading.Thread(target=lambda: results.append(
            bits(flat(Hexad.PrincipalValuesMany(x)[0])))) for _ in range(3)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        self.assertEqual(results, [expected] * 3)

    def test_no_growth_succeeding_and_failing(self):
        x = as_array([[1, 2, 3, 4, 5, 6]] * 50)
        out = as_array([[0.0]] * 50, (50,))
        n = as_array([[0, 0, 1]] * 50)
        def failing(fn, *args, **kwargs):
            return calls(lambda: fn(*args, **kwargs))
        ops = [lambda: Hexad.EffectiveStressMany(x), lambda: Hexad.NormMany(x, out=out),
               lambda: Hexad.PrincipalValuesMany(x), lambda: Hexad.DeviatoricPartMany(x),
               lambda: Hexad.TractionMany(x, n), lambda: Hexad.I1Many([[1, 2, 3, 4, 5, 6]]),
               calls(Hexad.NormMany, [1, 2]), failing(Hexad.NormMany, x, out=n),
               calls(Hexad.TractionMany, x, n[:3] if numpy is not None else [1]),
               failing(Hexad.PrincipalValuesMany, x, out=(out, out)),
               calls(Hexad.NormMany, [[1, 2, 3, 4, 5, 'x']])]
        assert_ops_no_growth(self, ops, 2000)


if __name__ == "__main__":
    unittest.main()
