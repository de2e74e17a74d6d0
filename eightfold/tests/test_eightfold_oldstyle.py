"""The Eightfold module bound to an old-style class standing in for the
vector module (a vector module written in Python)."""
import unittest

import rss
from old_triad import OldTriad, OldTriadChild, install, on_build

install()
import Eightfold  # binds OldTriad


class OldStyleBindingTest(unittest.TestCase):

    def tearDown(self):
        on_build[0] = None

    def test_instances_are_read_and_cell_centres_come_back_as_instances(self):
        tree = Eightfold.Eightfold(OldTriad(1, 2, 3), 1.0)
        tree.RefineToSize(OldTriadChild(1.5, 2.5, 3.5), 0.5)
        self.assertEqual(tree.ContainingCellSize(OldTriad(1.5, 2.5, 3.5)), 0.5)
        cells = tree.GetLeafCells()
        self.assertEqual(len(cells), 8)
        for vector, edge in cells:
            self.assertIsInstance(vector, OldTriad)
            self.assertEqual(edge, 1.0)
        self.assertEqual(cells[1][0].values, [1.5, 2.5, 3.5])

    def test_sequences_are_refused(self):
        tree = Eightfold.Eightfold(OldTriad(0, 0, 0), 1.0)
        for call in (lambda: Eightfold.Eightfold((0, 0, 0), 1.0),
                     lambda: tree.RefineToSize([0, 0, 0], 0.1),
                     lambda: tree.ContainingCellSize((0, 0, 0))):
            with self.assertRaises(TypeError) as caught:
                call()
            self.assertEqual(str(caught.exception), 'argument should be a Triad')
        self.assertEqual(len(tree.GetLeafCells()), 1)

    def test_a_vector_that_cannot_be_built_fails_the_whole_listing(self):
        tree = Eightfold.Eightfold(OldTriad(0, 0, 0), 1.0)
        tree.UniformRefine(0.5)

        def refuse(x, y, z):
            if x > 0 and y < 0:
                raise ArithmeticError('no such vector')
        on_build[0] = refuse
        self.assertRaises(ArithmeticError, tree.GetLeafCells)
        on_build[0] = None
        self.assertEqual(len(tree.GetLeafCells()), 8)

        def loop():
            on_build[0] = refuse
            for _ in range(200):
                rss.calls(tree.GetLeafCells)()
            on_build[0] = None
        rss.assert_no_growth(self, loop)

    def test_refining_while_the_leaves_are_listed_is_safe(self):
        tree = Eightfold.Eightfold(OldTriad(0, 0, 0), 1.0)
        tree.UniformRefine(0.5)

        def refine(x, y, z):
            tree.UniformRefine(0.1)
            tree.RefineOneLevelDiff()
        on_build[0] = refine
        # The listing shows the tree as it was when the call began.
        self.assertEqual(len(tree.GetLeafCells()), 8)
        on_build[0] = None
        self.assertEqual(len(tree.GetLeafCells()), 4096)


if __name__ == '__main__':
    unittest.main()
