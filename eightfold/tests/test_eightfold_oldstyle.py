"""The Eightfold module bound to an old-style class standing in for the
vector module (a vector module written in Python). Python 3 has no
old-style classes: there the stand-in is an ordinary class, and a factory
function serves as well."""
import os
import subprocess
import sys
import textwrap
import unittest

import rss
from dialect import python2_only, python3_only
from old_triad import OldTriad, OldTriadChild, install, on_build

install()
import Eightfold  # binds OldTriad
from messages import MessageAssertions


class OldStyleBindingTest(MessageAssertions, unittest.TestCase):

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

    @python2_only('old-style classes: only their instances are vectors')
    def test_sequences_are_refused(self):
        tree = Eightfold.Eightfold(OldTriad(0, 0, 0), 1.0)
        for call in (lambda: Eightfold.Eightfold((0, 0, 0), 1.0),
                     lambda: tree.RefineToSize([0, 0, 0], 0.1),
                     lambda: tree.ContainingCellSize((0, 0, 0))):
            self.assertFails(TypeError, 'argument should be a Triad', call)
        self.assertEqual(len(tree.GetLeafCells()), 1)

    @python3_only('a bound Python class reads any indexable argument')
    def test_sequences_are_read_and_centres_come_back_as_instances(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.RefineToSize([0.5, 0.5, 0.5], 0.5)
        self.assertEqual(tree.ContainingCellSize((0.5, 0.5, 0.5)), 0.5)
        cells = tree.GetLeafCells()
        self.assertEqual(len(cells), 8)
        self.assertTrue(all(type(v) is OldTriad for v, _ in cells))
        self.assertEqual(cells[1][0].values, [0.5, 0.5, 0.5])

    @python3_only('any callable may stand for the vector class')
    def test_a_factory_function_is_called_and_its_results_indexed(self):
        # A built-in function is no class: this module refuses to build
        # vectors with it.
        script = textwrap.dedent("""
            import sys, types
            fake = types.ModuleType('Triad')
            fake.Triad = %s
            sys.modules['Triad'] = fake
            import Eightfold
            tree = Eightfold.Eightfold([1, 2, 3], 1.0)
            tree.UniformRefine(0.5)
            try:
                print(tree.GetLeafCells()[1])
            except TypeError as e:
                print('TypeError: %%s' %% e)
            print(tree.ContainingCellSize(range(3)))
            """)
        for factory, first in [("lambda x, y, z: ['made', x, y, z]",
                                "(['made', 1.5, 2.5, 3.5], 1.0)"),
                               ("len", "TypeError: Problem building Triad object")]:
            proc = subprocess.Popen([sys.executable, '-B', '-c', script % factory],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    universal_newlines=True, env=dict(os.environ))
            out, err = proc.communicate()
            self.assertEqual(proc.returncode, 0, err)
            self.assertEqual(out.splitlines(), [first, '0.5'], factory)

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
