"""The scale-out example of crack growth at many locations
(examples/crack_growth_at_locations.py): on a multiprocessing pool and on a
Dask cluster of two process workers it gives the serial results bit for
bit, and its native growth is the Python loop over the cycles, bit for
bit."""
import math
import os
import pickle
import sys
import unittest

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples')
sys.path.insert(0, os.path.abspath(EXAMPLES))
import crack_growth_at_locations as example  # noqa: E402 (found on the examples' path)

import roundtrip  # noqa: E402
from Crackrate import Crackrate  # noqa: E402
from dialect import PY3  # noqa: E402

LOCATIONS = 12
CYCLES = 1500


def python_loop(task, cycles):
    """The example's growth of one location written as the Python loop over
    Compute_Crackrate it replaces: (length, cycles, overload state)."""
    pickled, a = task[:2]
    model = pickle.loads(pickled)
    block = len(example.SPECTRUM)
    n = 0
    while n < cycles and a < example.FAILED_LENGTH:
        stress_range, ratio = example.SPECTRUM[n % block]
        a += model.Compute_Crackrate(stress_range * math.sqrt(math.pi * a), a, n, ratio)
        n += 1
    return a, n, tuple(model.__reduce__()[1][2])


def flat(results):
    """The floats of the results, as bit patterns, and the cycle counts."""
    out = []
    for a, n, state in results:
        out.append((roundtrip.bits([a] + list(state)), n))
    return out


def dask_missing():
    """Why the Dask case cannot run here, or None."""
    if not PY3:
        return 'Dask does not exist for Python 2.7'
    try:
        import distributed  # noqa: F401
    except ImportError as e:
        return 'distributed is not installed (%s)' % e
    return None


class CrackGrowthExampleTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        example.CYCLES = CYCLES
        cls.tasks = example.locations(LOCATIONS)
        cls.expected = flat(example.serial(cls.tasks))

    def test_the_locations_differ_and_grow(self):
        finals = [a for a, _, _ in example.serial(self.tasks)]
        self.assertEqual(len(set(finals)), LOCATIONS)
        for (_, initial, _), final in zip(self.tasks, finals):
            self.assertGreater(final, initial)

    def test_the_native_growth_is_the_python_loop(self):
        # A whole block and a part of one; and a location run to its failed
        # length (a large rate constant), where both stop at the same cycle.
        for cycles in (len(example.SPECTRUM), CYCLES):
            self.assertEqual(flat(example.serial(self.tasks, cycles)),
                             flat([python_loop(t, cycles) for t in self.tasks]))
        constants = list(example.BASE_CONSTANTS)
        constants[example.C_INDEX] = 1e-6
        fast = (pickle.dumps(Crackrate(constants, 1)), 0.05, CYCLES)
        grown = example.grow_location(fast, 100000)
        self.assertEqual(flat([grown]), flat([python_loop(fast, 100000)]))
        self.assertGreaterEqual(grown[0], example.FAILED_LENGTH)
        self.assertLess(grown[1], 100000)

    def test_a_pool_gives_the_serial_results(self):
        self.assertEqual(example.start_method(), 'spawn' if PY3 else 'fork')
        self.assertEqual(flat(example.with_pool(self.tasks)), self.expected)

    def test_a_dask_cluster_gives_the_serial_results(self):
        reason = dask_missing()
        if reason is not None:
            print('skipped the Dask case: ' + reason)
            self.skipTest(reason)
        self.assertEqual(flat(example.with_dask(self.tasks)), self.expected)


if __name__ == '__main__':
    unittest.main()
