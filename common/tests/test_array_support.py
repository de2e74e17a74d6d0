"""The shared float64 array plumbing, through the test-only ArrayProbe module:
reading batches from buffers and sequences, out= buffers, and the Array
result type."""
import array
import gc
import struct
import sys
import unittest

import ArrayProbe as P
from dialect import PY3, python2_only, python3_only, type_name
from rss import assert_ops_no_growth, calls
from messages import MessageAssertions

try:
    import numpy
except ImportError:
    numpy = None

needs_numpy = unittest.skipUnless(PY3 and numpy is not None,
                                  'numpy (a Python 3 test dependency) is not installed')

ROWS3 = 'x must be a float64 array of shape (N, 3) or a sequence of such rows, not '
ROWS33 = 'x must be a float64 array of shape (N, 3, 3) or (N, 9) or a sequence of such rows, not '
FLAT = 'x must be a float64 array of shape (N,) or a sequence of numbers, not '


def doubles(*values):
    return array.array('d', values)


class ShrinkOnFloat(object):
    """A number whose conversion empties the list that holds it."""

    def __init__(self, victim):
        self.victim = victim

    def __float__(self):
        del self.victim[:]
        return 1.5


class ReadTest(MessageAssertions, unittest.TestCase):
    def assertRefused(self, error, message, *args):
        self.assertFails(error, message, lambda: P.Read(*args))

    def test_sequences_nested_or_flat(self):
        self.assertEqual(P.Read([(1, 2, 3), [4.5, True, -0.0]]),
                         (2, 1, [1.0, 2.0, 3.0, 4.5, 1.0, -0.0]))
        nested = [[[1, 2, 3], [4, 5, 6], [7, 8, 9]]]
        flat = [list(range(9))]
        self.assertEqual(P.Read(nested, '33'), (1, 2, [float(i) for i in range(1, 10)]))
        self.assertEqual(P.Read(flat, '33'), (1, 1, [float(i) for i in range(9)]))
        self.assertEqual(P.Read((0.5, 2), '1'), (2, 0, [0.5, 2.0]))
        self.assertEqual(P.Read([range(6)] * 2, '6')[0], 2)

    def test_empty_batches(self):
        for kind in ['1', '3', '6', '33']:
            self.assertEqual(P.Read([], kind)[::2], (0, []))
            self.assertEqual(P.Read(doubles(), kind)[::2], (0, []))

    def test_numbers_read_as_the_d_format_reads_them(self):
        class Half(object):
            def __float__(self):
                return 0.5
        big = 2 ** 70 + 1
        self.assertEqual(P.Read([Half(), big, float('inf')], '1')[2], [0.5, float(big), 1e999])
        self.assertRaises(TypeError, P.Read, [1, 'a', 3], '1')
        self.assertRaises(TypeError, P.Read, [[1, None, 3]])

    def test_array_array_in_both_dialects(self):
        self.assertEqual(P.Read(doubles(1, 2, 3, 4, 5, 6)), (2, 1, [1, 2, 3, 4, 5, 6]))
        self.assertEqual(P.Read(doubles(*range(18)), '33')[:2], (2, 2))
        self.assertRefused(ValueError, ROWS3 + ('an array.array of 4 numbers' if not PY3 else
                                                'an array of shape (4,)'), doubles(1, 2, 3, 4))
        came = "an array of format 'i'" if PY3 else "an array.array of typecode 'i'"
        self.assertRefused(TypeError, ROWS3 + came, array.array('i', [1, 2, 3]))
        came = "an array of format 'f'" if PY3 else "an array.array of typecode 'f'"
        self.assertRefused(TypeError, ROWS3 + came, array.array('f', [1, 2, 3]))

    def test_memoryview_of_arrays(self):
        a = P.New((2, 3))
        self.assertEqual(P.Read(memoryview(a)), (2, 1, [0, 1, 2, 3, 4, 5]))
        self.assertEqual(P.Read(a), (2, 1, [0, 1, 2, 3, 4, 5]))
        self.assertRefused(ValueError, ROWS33 + 'an array of shape (2, 3)', a, '33')
        self.assertRefused(TypeError, ROWS3 + "an array of format 'q'", P.New((2, 3), 'q'))

    @python3_only('memoryview casts and steps')
    def test_refused_buffers(self):
        m = memoryview(doubles(*range(12)))
        self.assertRefused(TypeError, ROWS3 + 'a non-contiguous array of shape (6,)', m[::2])
        self.assertRefused(ValueError, ROWS3.replace('3', '6') + 'an array of shape (4, 3)',
                           m.cast('B').cast('d', (4, 3)), '6')
        self.assertEqual(P.Read(m.cast('B').cast('d', (4, 3)))[0], 4)
        self.assertRefused(TypeError, ROWS3 + "an array of format 'B'", b'abc')
        self.assertRefused(ValueError, FLAT + 'an array of shape (2, 3)',
                           memoryview(doubles(*range(6))).cast('B').cast('d', (2, 3)), '1')

    @needs_numpy
    def test_numpy_arrays(self):
        x = numpy.arange(12.0).reshape(4, 3)
        self.assertEqual(P.Read(x)[2], list(numpy.arange(12.0)))
        self.assertEqual(P.Read(x.ravel(), '1')[0], 12)
        for same in [x.astype('<f8'), x.astype('=f8')]:
            self.assertEqual(P.Read(same)[2], list(numpy.arange(12.0)))
        self.assertRefused(TypeError, ROWS3 + 'a non-contiguous array of shape (3, 3)',
                           numpy.zeros((3, 6))[:, ::2])
        self.assertRefused(TypeError, ROWS3 + 'a non-contiguous array of shape (2, 3)', x[::2])
        self.assertRefused(TypeError, ROWS3 + "an array of format 'f'", x.astype('f4'))
        self.assertRefused(TypeError, ROWS3 + "an array of format 'l'", x.astype('i8'))
        self.assertRefused(TypeError, ROWS3 + "an array of format '>d'", x.astype('>f8'))
        self.assertRefused(ValueError, ROWS3 + 'an array of shape (4, 5)', numpy.zeros((4, 5)))
        self.assertRefused(ValueError, ROWS33 + 'an array of shape (2, 3, 4)',
                           numpy.zeros((2, 3, 4)), '33')
        self.assertRefused(ValueError, ROWS3 + 'an array of shape ()', numpy.float64(1.0))
        self.assertEqual(P.Read(numpy.zeros((0, 3)))[::2], (0, []))
        self.assertEqual(P.Read(numpy.zeros((0, 9)), '33')[::2], (0, []))
        # One row cut from a larger array is contiguous.
        self.assertEqual(P.Read(x[1:2])[2], [3.0, 4.0, 5.0])

    def test_refused_objects_and_rows(self):
        self.assertRefused(TypeError, ROWS3 + 'int', 5)
        self.assertRefused(TypeError, ROWS3 + 'NoneType', None)
        self.assertRefused(TypeError, ROWS3 + 'dict', {0: (1, 2, 3)})
        self.assertRefused(TypeError, ROWS3 + 'a sequence whose row 1 is float', [(1, 2, 3), 1.0])
        self.assertRefused(ValueError, ROWS3 + 'a sequence whose row 0 has 2 items', [(1, 2)])
        self.assertRefused(ValueError, ROWS33 + 'a sequence whose row 0 has 4 items',
                           [(1, 2, 3, 4)], '33')
        self.assertRefused(ValueError, ROWS33 + 'a sequence whose row 0, part 2 has 2 items',
                           [[(1, 2, 3), (4, 5, 6), (7, 8)]], '33')
        self.assertRefused(TypeError, ROWS33 + 'a sequence whose row 0, part 1 is int',
                           [[(1, 2, 3), 4, (7, 8, 9)]], '33')

    @python2_only('old-style buffers')
    def test_old_style_buffers_other_than_array_array_are_refused(self):
        import mmap
        self.assertRefused(TypeError, ROWS3 + 'a buffer of type mmap.mmap', mmap.mmap(-1, 24))
        self.assertRefused(TypeError, ROWS3 + "an array of format 'B'",
                           buffer(doubles(1, 2, 3)))  # noqa: F821 (Python 2.7 only)

    def test_a_sequence_that_changes_size_while_read_is_refused(self):
        victim = [1.0, 2.0, 3.0]
        victim.insert(0, ShrinkOnFloat(victim))
        self.assertRefused(RuntimeError, 'x changed size while it was read', victim, '1')
        row = [1.0, 2.0]
        row.insert(0, ShrinkOnFloat(row))
        self.assertRefused(RuntimeError, 'x changed size while it was read', [row])
        outer = [(1, 2, 3), (4, 5, 6)]
        outer.insert(0, [ShrinkOnFloat(outer), 2, 3])
        self.assertRefused(RuntimeError, 'x changed size while it was read', outer)

        class Growing(list):
            def __getitem__(self, i):
                self.append(0.0)
                return list.__getitem__(self, i)
        self.assertRefused(RuntimeError, 'x changed size while it was read',
                           Growing([1.0, 2.0]), '1')

    def test_no_growth(self):
        victim = []
        ops = [lambda: P.Read([(1, 2, 3)] * 50), lambda: P.Read(doubles(*range(36)), '33'),
               lambda: P.Read(P.New((10, 3))), calls(P.Read, [(1, 2)]),
               calls(P.Read, array.array('i', [1, 2, 3])), calls(P.Read, [(1, 'a', 3)]),
               calls(P.Read, [ShrinkOnFloat(victim), 1.0], '1'), calls(P.Read, 5)]
        if numpy is not None and PY3:
            x = numpy.zeros((6, 3))
            ops += [lambda: P.Read(x), calls(P.Read, x[::2]), calls(P.Read, x.astype('f4'))]
        assert_ops_no_growth(self, ops, 3000)


class OutTest(MessageAssertions, unittest.TestCase):
    def test_writes_into_a_writable_buffer_and_returns_it(self):
        out = P.New((2, 3))
        self.assertIs(P.Negate([(1, 2, 3), (4, 5, 6)], out=out), out)
        self.assertEqual(out.tolist(), [[-1, -2, -3], [-4, -5, -6]])
        flat = doubles(0, 0, 0)
        self.assertIs(P.Negate([(1, 2, 3)], out=flat), flat)
        self.assertEqual(list(flat), [-1, -2, -3])
        empty = doubles()
        self.assertIs(P.Negate([], out=empty), empty)

    def test_out_may_be_the_input_itself_but_not_overlap_it_otherwise(self):
        a = P.New((2, 3))
        self.assertIs(P.Negate(a, out=a), a)
        self.assertEqual(a.tolist(), [[-0.0, -1, -2], [-3, -4, -5]])
        if PY3:
            m = memoryview(P.New((3, 3))).cast('B')
            with self.assertRaises(ValueError):
                P.Negate(m[:48].cast('d', (2, 3)), out=m[24:].cast('d', (2, 3)))

    def test_refused_outs(self):
        message = 'out must be a writable float64 array of shape (2, 3), not '
        x = [(1, 2, 3)] * 2
        for out, error, came in [
                (P.New((3, 3)), ValueError, 'an array of shape (3, 3)'),
                (P.New((2, 3), 'q'), TypeError, "an array of format 'q'"),
                ([[0.0] * 3] * 2, TypeError, 'list'),
                (doubles(0, 0), ValueError,
                 'an array of shape (2,)' if PY3 else 'an array.array of 2 numbers')]:
            self.assertFails(error, message + came, lambda: P.Negate(x, out=out))
        if PY3:
            self.assertFails(TypeError, message + 'a read-only array',
                             lambda: P.Negate(x, out=memoryview(bytes(48)).cast('d', (2, 3))))

    @needs_numpy
    def test_numpy_out(self):
        out = numpy.empty((2, 3))
        P.Negate(numpy.ones((2, 3)), out=out)
        self.assertEqual(out.tolist(), [[-1.0] * 3] * 2)
        self.assertRaises(TypeError, P.Negate, numpy.ones((2, 3)), out=numpy.empty((3, 2)).T)

    def test_large_batches_release_the_lock_and_agree(self):
        x = P.New((20000, 3))
        self.assertEqual(P.Negate(x).tolist()[-1], [-59997.0, -59998.0, -59999.0])

    def test_no_growth(self):
        out = P.New((4, 3))
        x = [(1, 2, 3)] * 4
        ops = [lambda: P.Negate(x), lambda: P.Negate(x, out=out),
               lambda: P.Negate(x, out=doubles(*range(12))),
               calls(P.Negate, x, P.New((3, 3))), calls(P.Negate, x, [0.0] * 12)]
        assert_ops_no_growth(self, ops, 3000)


class ResultTest(unittest.TestCase):
    def test_shape_format_len_and_tolist(self):
        a = P.New((2, 3))
        self.assertEqual((a.shape, a.format, len(a)), ((2, 3), 'd', 2))
        self.assertEqual(a.tolist(), [[0.0, 1.0, 2.0], [3.0, 4.0, 5.0]])
        q = P.New((2, 1, 2), 'q')
        self.assertEqual((q.format, q.tolist()), ('q', [[[0, 1]], [[2, 3]]]))
        self.assertTrue(all(type(v) is int for v in P.New((3,), 'i').tolist()))
        self.assertEqual([P.New(s).tolist() for s in [(0,), (0, 3), (2, 0)]], [[], [], [[], []]])
        self.assertEqual(P.New((sys.maxsize, sys.maxsize, 0)).shape[2], 0)
        self.assertIs(type(a), P.Array)
        self.assertEqual(type(a).__name__, 'Array')
        self.assertIn(type_name('ArrayProbe', 'Array'), repr(type(a)))
        self.assertTrue(P.Array.__doc__)
        self.assertRaises(TypeError, P.Array)

    def test_memoryview_and_old_style_buffer(self):
        a = P.New((2, 3))
        m = memoryview(a)
        self.assertEqual((m.format, m.itemsize, m.ndim, m.shape, m.readonly),
                         ('d', 8, 2, (2, 3), False))
        self.assertEqual(struct.unpack('6d', m.tobytes()), (0, 1, 2, 3, 4, 5))
        i = memoryview(P.New((4,), 'i'))
        self.assertEqual((i.format, i.itemsize, i.tobytes()),
                         ('i', 4, struct.pack('4i', 0, 1, 2, 3)))
        if not PY3:
            copy = doubles()
            copy.fromstring(buffer(a))  # noqa: F821 (Python 2.7 only)
            self.assertEqual(list(copy), [0, 1, 2, 3, 4, 5])

    def test_a_view_outlives_the_result(self):
        m = memoryview(P.New((1000, 3)))
        gc.collect()
        self.assertEqual(struct.unpack('3d', m.tobytes()[-24:]), (2997.0, 2998.0, 2999.0))

    @python3_only('memoryview writes of float items')
    def test_writes_through_a_view(self):
        a = P.New((2, 3))
        memoryview(a)[1, 2] = -0.5
        self.assertEqual(a.tolist()[1], [3.0, 4.0, -0.5])

    @needs_numpy
    def test_numpy_wraps_results_without_a_copy(self):
        a = P.New((4, 3, 3))
        x = numpy.asarray(a)
        self.assertEqual((x.dtype, x.shape, x.flags['C_CONTIGUOUS']),
                         (numpy.dtype('float64'), (4, 3, 3), True))
        x[1, 2, 0] = -7.5
        self.assertEqual(a.tolist()[1][2][0], -7.5)
        self.assertEqual(numpy.asarray(P.New((5,), 'i')).dtype, numpy.dtype('int32'))
        self.assertEqual(numpy.asarray(P.New((5,), 'q')).dtype, numpy.dtype('int64'))
        # The array keeps the result alive after its last name is gone.
        y = numpy.asarray(P.New((100, 3)))
        gc.collect()
        self.assertEqual(y[99].tolist(), [297.0, 298.0, 299.0])

    def test_refused_shapes(self):
        self.assertRaises(ValueError, P.New, (-1,))
        self.assertRaises(MemoryError, P.New, (sys.maxsize, 4))

    def test_no_growth(self):
        ops = [lambda: P.New((10, 3)).tolist(), lambda: memoryview(P.New((2, 2, 2), 'q')),
               lambda: P.New((7,), 'i').shape, calls(P.New, (-1, 3))]
        if numpy is not None and PY3:
            ops.append(lambda: numpy.asarray(P.New((4, 3))))
        assert_ops_no_growth(self, ops, 3000)


if __name__ == '__main__':
    unittest.main()
