"""The Eightfold module with the Triad type bound as its vector class; what
its objects share with Crackrate and Boxfinder (the factory-made type, its
method lookup, copies through the rebuild function) is tested once in
common/tests/test_native_object_scaffold.py."""
import copy
import os
import pickle
import subprocess
import sys
import textwrap
import unittest

import Eightfold
import Triad
from Triad import Triad as V

import roundtrip
import rss
from messages import MessageAssertions

NAN = float('nan')
INF = float('inf')


def leaves(tree):
    return [(tuple(v), edge) for v, edge in tree.GetLeafCells()]


class ConstructionTest(MessageAssertions, unittest.TestCase):

    def test_fresh_tree_is_one_leaf_of_the_given_centre_and_size(self):
        for centre in (V(1, 2, 3), (1, 2, 3), [1.0, 2, 3.0]):
            tree = Eightfold.Eightfold(centre, 1.0)
            cells = tree.GetLeafCells()
            self.assertEqual(len(cells), 1)
            vector, edge = cells[0]
            self.assertIs(type(vector), V)
            self.assertEqual(list(vector), [1.0, 2.0, 3.0])
            self.assertEqual(edge, 2.0)
            for point in ((1, 2, 3), (100, -100, 1e300), V(0, 0, 0)):
                self.assertEqual(tree.ContainingCellSize(point), 1.0)

    def test_bad_centres_and_sizes_are_refused(self):
        self.assertRaises(IndexError, Eightfold.Eightfold, (0, 0), 1.0)
        self.assertRaises(TypeError, Eightfold.Eightfold, 5, 1.0)
        self.assertRaises(TypeError, Eightfold.Eightfold, ('a', 0, 0), 1.0)
        self.assertRaises(TypeError, Eightfold.Eightfold, (0, 0, 0), 'big')
        self.assertRaises(TypeError, Eightfold.Eightfold, (0, 0, 0))
        for size in (0.0, -1.0, NAN, INF, -INF):
            self.assertFails(ValueError, 'size must be a positive finite number',
                             lambda: Eightfold.Eightfold((0, 0, 0), size))

    def test_ints_of_any_size_are_read_through_their_float_value(self):
        tree = Eightfold.Eightfold((2 ** 70, 0, 0), 2 ** 70)
        self.assertEqual(leaves(tree), [((float(2 ** 70), 0.0, 0.0), float(2 ** 71))])
        self.assertEqual(tree.ContainingCellSize((-2 ** 64, 0, 10 ** 20)), float(2 ** 70))
        with self.assertRaises(OverflowError) as interpreters:
            float(10 ** 400)
        for call in (lambda: Eightfold.Eightfold((10 ** 400, 0, 0), 1.0),
                     lambda: Eightfold.Eightfold((0, 0, 0), 10 ** 400),
                     lambda: tree.RefineToSize((0, -10 ** 400, 0), 1.0),
                     lambda: tree.ContainingCellSize((0, 0, 10 ** 400))):
            self.assertFails(OverflowError, str(interpreters.exception), call)
        self.assertEqual(len(tree.GetLeafCells()), 1)

    def test_vector_subclasses_are_read(self):
        class Sub(V):
            pass
        tree = Eightfold.Eightfold(Sub(1, 2, 3), 2)
        self.assertEqual(leaves(tree), [((1.0, 2.0, 3.0), 4.0)])


class RefinementTest(unittest.TestCase):

    def test_uniform_refinement_lists_the_children_in_index_order(self):
        tree = Eightfold.Eightfold(V(1, 2, 3), 1.0)
        self.assertIsNone(tree.UniformRefine(0.5))
        signs = [(-1, 1, 1), (1, 1, 1), (-1, -1, 1), (1, -1, 1),
                 (-1, 1, -1), (1, 1, -1), (-1, -1, -1), (1, -1, -1)]
        expected = [((1 + 0.5 * sx, 2 + 0.5 * sy, 3 + 0.5 * sz), 1.0)
                    for sx, sy, sz in signs]
        self.assertEqual(leaves(tree), expected)

    def test_refine_to_size_and_containing_cell_size(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        self.assertIsNone(tree.RefineToSize(V(0.3, 0.3, 0.3), 0.01))
        self.assertEqual(tree.ContainingCellSize((0.3, 0.3, 0.3)), 0.0078125)
        self.assertEqual(tree.ContainingCellSize([-0.9, -0.9, -0.9]), 0.5)
        edges = set(edge for _, edge in tree.GetLeafCells())
        self.assertEqual(min(edges), 2 * 0.0078125)
        # A point on a dividing plane belongs to the positive side.
        self.assertEqual(tree.ContainingCellSize((0, 0.3, 0.3)), 0.125)
        self.assertEqual(tree.ContainingCellSize((-1e-9, 0.3, 0.3)), 0.5)

    def test_balancing_splits_coarse_neighbours_once(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.RefineToSize((0.3, 0.3, 0.3), 0.01)
        before = len(tree.GetLeafCells())
        self.assertIsNone(tree.RefineOneLevelDiff())
        after = leaves(tree)
        self.assertGreater(len(after), before)
        tree.RefineOneLevelDiff()
        self.assertEqual(leaves(tree), after)

    def test_non_finite_points_are_accepted(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.RefineToSize((NAN, 0, 0), 0.1)
        tree.RefineToSize((INF, -INF, 0), 0.1)
        self.assertEqual(len(tree.GetLeafCells()), 8)
        self.assertEqual(tree.ContainingCellSize((NAN, NAN, NAN)), 0.5)

    def test_deep_trees_are_walked_and_freed_without_recursion(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.RefineToSize((0, 0, 0), 1e-300)
        self.assertLessEqual(tree.ContainingCellSize((0, 0, 0)), 1e-300)
        tree.RefineOneLevelDiff()
        cells = tree.GetLeafCells()
        self.assertGreater(len(cells), 50000)
        del cells, tree


class ArgumentErrorTest(MessageAssertions, unittest.TestCase):

    def setUp(self):
        self.tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        self.tree.RefineToSize((0.2, 0.2, 0.2), 0.2)
        self.before = leaves(self.tree)

    def tearDown(self):
        self.assertEqual(leaves(self.tree), self.before)

    def test_wrong_arguments(self):
        t = self.tree
        self.assertRaises(TypeError, t.RefineOneLevelDiff, 1)
        self.assertRaises(TypeError, t.GetLeafCells, None)
        self.assertRaises(TypeError, t.UniformRefine)
        self.assertRaises(TypeError, t.UniformRefine, 'x')
        self.assertRaises(TypeError, t.RefineToSize, (0, 0, 0))
        self.assertRaises(IndexError, t.RefineToSize, (0, 0), 0.1)
        self.assertRaises(TypeError, t.RefineToSize, 7, 0.1)
        self.assertRaises(TypeError, t.RefineToSize, (0, 0, 0), None)
        self.assertRaises(TypeError, t.ContainingCellSize)
        self.assertRaises(TypeError, t.ContainingCellSize, (0, 'y', 0))

    def test_unusable_sizes(self):
        for size in (0, -1, NAN, INF, -INF):
            for call in (lambda: self.tree.UniformRefine(size),
                         lambda: self.tree.RefineToSize((0, 0, 0), size)):
                self.assertFails(ValueError, 'size must be a positive finite number', call)

    def test_uniform_refinement_beyond_memory(self):
        self.assertFails(MemoryError, 'UniformRefine would need more cells than memory can hold',
                         self.tree.UniformRefine, 1e-12)
        self.assertRaises(MemoryError, self.tree.UniformRefine, 5e-324)


class MemoryLimitTest(unittest.TestCase):
    """UniformRefine under an address-space or data limit, each in a child
    interpreter that sets the limit on itself."""

    SCRIPT = textwrap.dedent('''
        import resource, sys, Eightfold
        limit = getattr(resource, sys.argv[1])
        t = Eightfold.Eightfold((0, 0, 0), 1.0)
        t.RefineToSize((0.3, -0.2, 0.1), 0.01)
        before = [(tuple(v), e) for v, e in t.GetLeafCells()]
        resource.setrlimit(limit, (1500000 * 1024, resource.RLIM_INFINITY))
        try:
            t.UniformRefine(2.0 ** -9)
            print('refined')
        except MemoryError as e:
            print('MemoryError: %s' % e)
        after = [(tuple(v), e) for v, e in t.GetLeafCells()]
        print('unchanged' if after == before else 'changed')
        t.UniformRefine(2.0 ** -5)  # a refinement that fits still works
        print(len(t.GetLeafCells()) >= 32 ** 3)
        ''')

    @unittest.skipIf(os.environ.get('SANITIZED_BUILD'),
                     'the sanitizer runtime reserves more address space than the limit')
    def test_refusal_leaves_the_tree_as_it_was(self):
        for limit in ('RLIMIT_AS', 'RLIMIT_DATA'):
            proc = subprocess.Popen([sys.executable, '-B', '-c', self.SCRIPT, limit],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    universal_newlines=True)
            out, err = proc.communicate()
            self.assertEqual(proc.returncode, 0, err)
            self.assertEqual(out.splitlines(), [
                'MemoryError: UniformRefine would need more cells than memory can hold',
                'unchanged', 'True'], limit)


def refined_tree():
    """A tree refined around points, uniformly and balanced, so that its
    path stack and cell blocks have been used."""
    tree = Eightfold.Eightfold((0.25, -0.5, 1.0), 1.0)
    tree.RefineToSize((0.1, 0.2, 0.3), 0.02)
    tree.RefineToSize((-0.5, 0.7, 1.5), 0.05)
    tree.UniformRefine(0.3)
    tree.RefineOneLevelDiff()
    return tree


def answers(tree):
    points = [(x * 0.3 - 0.7, y * 0.25 - 1.2, z * 0.2 + 0.1) for x in range(6) for y in range(6)
              for z in range(6)]
    # As text, in which NaNs compare equal.
    return repr((leaves(tree), [tree.ContainingCellSize(p) for p in points]))


def change(tree):
    tree.RefineToSize((0.9, -0.1, 0.4), 0.01)
    tree.UniformRefine(0.2)
    tree.RefineOneLevelDiff()


class CopyTest(MessageAssertions, unittest.TestCase):

    def test_every_copy_answers_and_refines_as_the_original(self):
        odd = lambda: Eightfold.Eightfold((NAN, -0.0, INF), 5e-324)
        for make in (lambda: Eightfold.Eightfold((0, 0, 0), 1.0), refined_tree, odd):
            roundtrip.assert_exact_copies(self, make, answers, change)

    def test_the_state_is_one_compact_bytes_object(self):
        tree = refined_tree()
        state = tree.__reduce__()[1][0]
        # One bit per cell after a header of about a hundred bytes.
        cells = (len(tree.GetLeafCells()) - 1) // 7 * 8 + 1
        self.assertLess(len(state), 200 + cells // 8 + 1)

    def test_damaged_states_are_refused_or_give_a_sound_tree(self):
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.RefineToSize((0.1, 0.2, 0.3), 0.1)
        tree.RefineOneLevelDiff()
        state = tree.__reduce__()[1][0]
        roundtrip.assert_damaged_states_handled(self, Eightfold._rebuild, state, answers,
                                                'invalid Eightfold state: ')
        self.assertFails(ValueError,
                         'invalid Eightfold state: length does not match the cell count',
                         Eightfold._rebuild, state + b'\0')


class MemoryTest(unittest.TestCase):

    def test_no_growth_over_repeated_use(self):
        def loop():
            for _ in range(50):
                tree = Eightfold.Eightfold(V(0, 0, 0), 1.0)
                tree.RefineToSize((0.1, 0.2, 0.3), 0.02)
                tree.UniformRefine(0.3)
                tree.RefineOneLevelDiff()
                tree.ContainingCellSize([0.1, 0.2, 0.3])
                tree.GetLeafCells()
                rss.calls(tree.UniformRefine, -1)()
                rss.calls(tree.UniformRefine, 1e-20)()
                rss.calls(tree.RefineToSize, (0, 0), 0.1)()
                rss.calls(Eightfold.Eightfold, (0, 'a', 0), 1.0)()
                rss.calls(Eightfold.Eightfold, (10 ** 400, 0, 0), 1.0)()
                tree.ContainingCellSize((2 ** 70, 0, 0))
                for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
                    rss.calls(pickle.dumps, tree, protocol)()
                rss.calls(copy.deepcopy, tree)()
                rss.calls(Eightfold._rebuild, tree.__reduce__()[1][0][:-1])()
                rss.calls(Eightfold._rebuild, None)()
        rss.assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
