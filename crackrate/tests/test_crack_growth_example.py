"""The scale-out example of crack growth at many locations
(examples/crack_growth_at_locations.py): on a multiprocessing pool and on a
Dask cluster of two process workers it gives the serial results bit for
bit."""
import os
import sys
import unittest

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples')
sys.path.insert(0, os.path.abspath(EXAMPLES))
import crack_growth_at_locations as example  # noqa: E402 (found on the examples' path)

import roundtrip  # noqa: E402
from dialect import PY3  # noqa: E402

LOCATIONS = 12
CYCLES = 1500


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
        for (_, initial), final in zip(self.tasks, finals):
            self.assertGreater(final, initial)

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
