"""The scale-out example of point location (examples/
point_location_on_workers.py): one tree sent to every worker, the points in
chunks, and the concatenated answers those of the serial run, in order."""
import os
import sys
import unittest

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples')
sys.path.insert(0, os.path.abspath(EXAMPLES))
import point_location_on_workers as example  # noqa: E402 (found on the examples' path)

from dialect import PY3  # noqa: E402

POINTS = 12000


def dask_missing():
    """Why the Dask case cannot run here, or None."""
    if not PY3:
        return 'Dask does not exist for Python 2.7'
    try:
        import distributed  # noqa: F401
    except ImportError as e:
        return 'distributed is not installed (%s)' % e
    return None


class PointLocationExampleTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        example.CHUNK = 1500
        cls.tree = example.mesh_tree(10)
        cls.points = example.gauge_points(POINTS)
        cls.expected = list(example.serial(cls.tree, cls.points))

    def test_the_serial_answers_are_the_boxes_holding_each_point(self):
        self.assertEqual(len(self.expected), POINTS)
        self.assertGreater(len(example.chunks(self.points)), 4)
        p = self.points
        for i in range(0, POINTS, 97):
            found = self.tree.PtQuery((p[3 * i], p[3 * i + 1], p[3 * i + 2]))
            self.assertEqual(self.expected[i], found[0] if found else -1)
        # Replaced cells answer with their new ids, points outside with -1.
        self.assertTrue(any(f >= 1000 for f in self.expected))
        self.assertIn(-1, self.expected)

    def test_a_pool_gives_the_serial_answers_in_order(self):
        self.assertEqual(list(example.with_pool(self.tree, self.points)), self.expected)

    def test_a_dask_cluster_gives_the_serial_answers_in_order(self):
        reason = dask_missing()
        if reason is not None:
            print('skipped the Dask case: ' + reason)
            self.skipTest(reason)
        self.assertEqual(list(example.with_dask(self.tree, self.points)), self.expected)


if __name__ == '__main__':
    unittest.main()
