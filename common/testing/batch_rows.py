"""Rows for the batch-function suites: random float64 rows salted with
NaN, infinities, -0.0 and subnormals, as the array each interpreter has
(a numpy array under Python 3, an array.array('d') under Python 2.7), and
bit-for-bit comparison of a result with the per-object method."""
import array
import random
import struct

try:
    import numpy
except ImportError:  # Python 2.7 here has no numpy
    numpy = None

SPECIALS = [float('nan'), float('inf'), float('-inf'), -0.0, 0.0, 5e-324, -2.5e-310, 1e308]


def random_rows(rng, count, width, salt=0.1):
    """count rows of width numbers, each number special with chance salt."""
    return [[rng.choice(SPECIALS) if rng.random() < salt else rng.uniform(-1e3, 1e3)
             for _ in range(width)] for _ in range(count)]


def as_array(rows, shape=None):
    """The rows as the interpreter's float64 array: numpy of `shape` (by
    default rows by width), else a flat array.array('d')."""
    flat = [x for row in rows for x in row]
    if numpy is not None:
        a = numpy.array(flat, dtype=numpy.float64)
        return a.reshape(shape if shape is not None else (len(rows), -1) if rows else (0, 1))
    return array.array('d', flat)


def flat(value):
    """The numbers of a result (an Array, a numpy array, a value type, a
    list of vectors or nested lists), flat."""
    if hasattr(value, 'tolist'):
        value = value.tolist()
    if isinstance(value, (list, tuple)):
        return [x for item in value for x in flat(item)]
    if isinstance(value, float):
        return [value]
    return [x for x in memoryview_doubles(value)]


def memoryview_doubles(value):
    data = memoryview(value).tobytes()
    return struct.unpack('%dd' % (len(data) // 8), data)


def bits(numbers):
    """The numbers as their bytes, so that NaNs compare and -0.0 differs
    from 0.0."""
    return [struct.pack('d', x) for x in numbers]


def seeded(seed):
    return random.Random(seed)
