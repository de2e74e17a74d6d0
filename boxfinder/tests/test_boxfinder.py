"""Python interface of the Boxfinder module."""
import copy
import pickle
import unittest

import Triad
import Boxfinder
import roundtrip
import rss
from dialect import PY3, long_type, python2_only, python3_only, type_name

T = Triad.Triad


def unit_boxes():
    return Boxfinder.Boxfinder([(0, 0, 0), (1, 1, 1)], [(1, 1, 1), (2, 2, 2)], [7, 8])


class ConstructionTest(unittest.TestCase):

    def test_empty_tree_answers_nothing(self):
        b = Boxfinder.Boxfinder([], [], [])
        self.assertEqual(b.PtQuery((0, 0, 0)), [])
        self.assertEqual(b.RangeQuery((-1, -1, -1), (1, 1, 1)), [])
        self.assertEqual(b.RemoveFromTree((0, 0, 0), (1, 1, 1), 1), None)
        self.assertEqual(b.AddToTree((0, 0, 0), (1, 1, 1), 9), None)
        self.assertEqual(b.PtQuery((1, 1, 1)), [9])

    def test_single_box_closed_on_both_sides(self):
        b = Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [5])
        self.assertEqual(b.PtQuery((0.5, 0.5, 0.5)), [5])
        self.assertEqual(b.PtQuery((1, 1, 1)), [5])
        self.assertEqual(b.PtQuery((2, 0, 0)), [])
        self.assertEqual(b.RangeQuery((1, 1, 1), (3, 3, 3)), [5])
        self.assertEqual(b.PtQuery((float('nan'), 0.5, 0.5)), [])

    def test_results_in_tree_order(self):
        b = unit_boxes()
        self.assertEqual(b.PtQuery((1, 1, 1)), [8, 7])
        self.assertEqual(b.RangeQuery((1.5, 1.5, 1.5), (3, 3, 3)), [8])

    def test_corners_as_triads_tuples_lists_and_ids_as_int_or_bool(self):
        b = Boxfinder.Boxfinder([T(0, 0, 0), [0, 0, 0.0], (2, 2, 2)],
                                [T(1, 1, 1), (1.0, 1, 1), [3, 3, 3]],
                                [1, True, False])
        self.assertEqual(sorted(b.PtQuery(T(0.5, 0.5, 0.5))), [1, 1])
        self.assertEqual(b.PtQuery([2.5, 2.5, 2.5]), [0])
        self.assertEqual(type(b.PtQuery((2.5, 2.5, 2.5))[0]), int)
        # Non-float items go through the float conversion.
        b2 = Boxfinder.Boxfinder([(long_type(0), 0, 0)], [(long_type(1), 1, 1)], [4])
        self.assertEqual(b2.PtQuery((long_type(1), 1, 1)), [4])
        b3 = Boxfinder.Boxfinder([(-2 ** 70, 0, 0)], [(2 ** 70, 1, 1)], [4])
        self.assertEqual(b3.PtQuery((10 ** 20, 1, 1)), [4])
        with self.assertRaises(OverflowError) as interpreters:
            float(10 ** 400)
        for call in (lambda: Boxfinder.Boxfinder([(10 ** 400, 0, 0)], [(1, 1, 1)], [4]),
                     lambda: b3.PtQuery((0, -10 ** 400, 0)),
                     lambda: b3.AddToTree((0, 0, 0), (0, 0, 10 ** 400), 5)):
            with self.assertRaises(OverflowError) as caught:
                call()
            self.assertEqual(str(caught.exception), str(interpreters.exception))
        self.assertEqual(b3.RangeQuery((-1e300,) * 3, (1e300,) * 3), [4])

    def test_swapped_corners_contain_only_coinciding_points(self):
        b = Boxfinder.Boxfinder([(1, 1, 1), (5, 5, 5)], [(0, 0, 0), (5, 5, 5)], [1, 2])
        self.assertEqual(b.PtQuery((0.5, 0.5, 0.5)), [])
        self.assertEqual(b.PtQuery((5, 5, 5)), [2])

    def test_messages(self):
        cases = [
            (([(0, 0, 0)], [(1, 1, 1)], [5, 6]),
             "max, min, and client_data lists should all be the same length"),
            ((5, [], []), "argument should a sequence of Triad's"),
            (([], 5, []), "argument should a sequence of Triad's"),
            (([], [], 5), "third argument should a sequence of ints"),
            (([(0, 0, 0)], [(1, 1, 1)], [5.0]), "third argument should a sequence of int's"),
        ]
        for args, message in cases:
            with self.assertRaises(TypeError) as ctx:
                Boxfinder.Boxfinder(*args)
            self.assertEqual(str(ctx.exception), message)

    @python2_only('longs are not client integers')
    def test_longs_are_refused(self):
        for ids in ([long_type(5)], [2 ** 100]):
            with self.assertRaises(TypeError) as ctx:
                Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], ids)
            self.assertEqual(str(ctx.exception), "third argument should a sequence of int's")

    def test_ids_beyond_32_bits_overflow(self):
        cases = [(2 ** 31, "signed integer is greater than maximum"),
                 (2 ** 40, "signed integer is greater than maximum"),
                 (-2 ** 31 - 1, "signed integer is less than minimum")]
        if PY3:
            # Python 3 ints of any size are client integers until their
            # value is read.
            cases += [(2 ** 63, "signed integer is greater than maximum"),
                      (2 ** 100, "signed integer is greater than maximum"),
                      (-2 ** 100, "signed integer is less than minimum")]
        for big, message in cases:
            with self.assertRaises(OverflowError) as ctx:
                Boxfinder.Boxfinder([(0, 0, 0)] * 2, [(1, 1, 1)] * 2, [1, big])
            self.assertEqual(str(ctx.exception), message, big)
        b = Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [2 ** 31 - 1])
        self.assertEqual(b.PtQuery((0, 0, 0)), [2 ** 31 - 1])
        for big, message in [(2 ** 31, "signed integer is greater than maximum"),
                             (-2 ** 31 - 1, "signed integer is less than minimum"),
                             (2 ** 64, "Python int too large to convert to C long"),
                             (-2 ** 100, "Python int too large to convert to C long")]:
            for change in (b.AddToTree, b.RemoveFromTree):
                with self.assertRaises(OverflowError) as ctx:
                    change((0, 0, 0), (1, 1, 1), big)
                self.assertEqual(str(ctx.exception), message, big)
        self.assertEqual(b.PtQuery((0, 0, 0)), [2 ** 31 - 1])

    @python3_only('every int is a client integer')
    def test_ints_of_every_size_within_32_bits_are_ids(self):
        b = Boxfinder.Boxfinder([(0, 0, 0)] * 3, [(1, 1, 1)] * 3,
                                [-2 ** 31, True, 2 ** 31 - 1])
        self.assertEqual(sorted(b.PtQuery((0.5, 0.5, 0.5))), [-2 ** 31, 1, 2 ** 31 - 1])

    def test_bad_items_and_arguments(self):
        with self.assertRaises(IndexError):
            Boxfinder.Boxfinder([(0, 0)], [(1, 1, 1)], [1])
        with self.assertRaises(TypeError):
            Boxfinder.Boxfinder([(0, 'a', 0)], [(1, 1, 1)], [1])
        with self.assertRaises(TypeError):
            Boxfinder.Boxfinder([], [])
        with self.assertRaises(OverflowError):
            Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [2 ** 40])

    def test_sequence_that_fails_midway(self):
        class Flaky(object):
            def __len__(self):
                return 3

            def __getitem__(self, i):
                if i == 2:
                    raise ValueError('gone')
                return (0, 0, 0)
        with self.assertRaises(ValueError):
            Boxfinder.Boxfinder(Flaky(), [], [])


class MethodTest(unittest.TestCase):

    def test_add_and_remove(self):
        b = unit_boxes()
        b.AddToTree((0, 0, 0), (1, 1, 1), 9)
        self.assertIn(9, b.PtQuery((1, 1, 1)))
        b.RemoveFromTree((0, 0, 0), (1, 1, 1), 9)
        self.assertNotIn(9, b.PtQuery((1, 1, 1)))
        b.RemoveFromTree((0, 0, 0), (1, 1, 1), 12345)
        self.assertEqual(sorted(b.PtQuery((1, 1, 1))), [7, 8])

    def test_repeated_removal_takes_every_copy(self):
        b = Boxfinder.Boxfinder([(0, 0, 0)] * 5, [(1, 1, 1)] * 5, [3] * 5)
        for left in range(4, -1, -1):
            b.RemoveFromTree((0, 0, 0), (1, 1, 1), 3)
            self.assertEqual(b.PtQuery((0.5, 0.5, 0.5)), [3] * left)
        b.AddToTree((0, 0, 0), (1, 1, 1), 3)
        b.RemoveFromTree((0, 0, 0), (1, 1, 1), 3)
        self.assertEqual(b.PtQuery((0.5, 0.5, 0.5)), [])

    def test_argument_errors_leave_tree_untouched(self):
        b = unit_boxes()
        with self.assertRaises(IndexError):
            b.PtQuery((1, 1))
        with self.assertRaises(TypeError):
            b.PtQuery(5)
        with self.assertRaises(TypeError):
            b.AddToTree((0, 0, 0), (1, 1, 1))
        with self.assertRaises(OverflowError):
            b.AddToTree((0, 0, 0), (1, 1, 1), 2 ** 40)
        with self.assertRaises(IndexError):
            b.RangeQuery((0, 0, 0), (1, 1))
        with self.assertRaises(IndexError):
            b.RemoveFromTree((0, 0, 0), (1,), 7)
        self.assertEqual(b.PtQuery((1, 1, 1)), [8, 7])
        with self.assertRaises(AttributeError):
            b.NoSuchMethod


class ObjectTest(unittest.TestCase):

    def test_type_name_and_method_lookup(self):
        b = unit_boxes()
        self.assertEqual(type(b).__name__, 'Boxfinder')
        self.assertEqual(repr(type(b)), "<%s '%s'>" % ('class' if PY3 else 'type',
                                                        type_name('Boxfinder', 'Boxfinder')))
        self.assertRaises(TypeError, type(b))
        names = ['AddToTree', 'PtQuery', 'RangeQuery', 'RemoveFromTree']
        for name in names:
            method = getattr(b, name)
            self.assertEqual(method.__name__, name)
            self.assertIs(method.__self__, b)
        self.assertLess(set(names), set(dir(b)))
        self.assertFalse(hasattr(b, '__dict__'))
        # Python 2.7 readies the type only when something looks into it, and
        # before that refuses assignments with TypeError.
        self.assertRaises((AttributeError, TypeError), setattr, b, 'PtQuery', len)
        self.assertEqual(b.PtQuery((1, 1, 1)), [8, 7])

    @python2_only('the attribute slot of factory-made objects')
    def test_the_method_list_of_python_2(self):
        b = unit_boxes()
        self.assertEqual(b.__methods__, ['AddToTree', 'PtQuery', 'RangeQuery', 'RemoveFromTree',
                                         '__reduce__'])

    @python3_only('the generic attribute lookup')
    def test_methods_live_on_the_type_under_python_3(self):
        b = unit_boxes()
        self.assertEqual(type(b).PtQuery(b, (1, 1, 1)), [8, 7])
        with self.assertRaises(AttributeError) as caught:
            b.NoSuchMethod
        self.assertEqual(str(caught.exception),
                         "'Boxfinder.Boxfinder' object has no attribute 'NoSuchMethod'")

    def test_many_results(self):
        n = 1000
        b = Boxfinder.Boxfinder([(0, 0, 0)] * n, [(1, 1, 1)] * n, range(n))
        self.assertEqual(sorted(b.PtQuery((0.5, 0.5, 0.5))), list(range(n)))
        for i in range(n, n + 50):
            b.AddToTree((i, i, i), (i + 1.5, i + 1.5, i + 1.5), i)
        self.assertEqual(sorted(b.PtQuery((n + 10.25,) * 3)), [n + 9, n + 10])

    def test_deep_tree_from_diagonal_insertions(self):
        b = Boxfinder.Boxfinder([], [], [])
        n = 20000
        for i in range(n):
            b.AddToTree((i, i, i), (i + 1.5, i + 1.5, i + 1.5), i)
        self.assertEqual(sorted(b.PtQuery((n - 0.75,) * 3)), [n - 2, n - 1])
        b.RemoveFromTree((0, 0, 0), (1.5, 1.5, 1.5), 0)
        self.assertEqual(b.PtQuery((0.25, 0.25, 0.25)), [])


NAN = float('nan')


def grid_boxes(n, seed=1):
    """n boxes on a coarse grid (shared corners, nesting, repeats), a few of
    them inverted or with a NaN corner, ids repeating."""
    import random
    r = random.Random(seed)
    lower, upper, ids = [], [], []
    for i in range(n):
        lo = [r.randrange(40) * 0.25 for _ in range(3)]
        hi = [c + r.randrange(12) * 0.25 - 0.25 for c in lo]
        if i % 50 == 7:
            lo[i % 3] = NAN
        lower.append(tuple(lo))
        upper.append(tuple(hi))
        ids.append(r.randrange(300))
    return lower, upper, ids


def changed_tree(n=300):
    """A tree that has taken insertions and removals after its build."""
    lower, upper, ids = grid_boxes(n)
    b = Boxfinder.Boxfinder(lower, upper, ids)
    more = grid_boxes(60, seed=2)
    for lo, hi, i in zip(*more):
        b.AddToTree(lo, hi, i)
    for lo, hi, i in list(zip(lower, upper, ids))[::7]:
        b.RemoveFromTree(lo, hi, i)
    return b


def answers(b):
    points = [(x * 0.6, y * 0.7, z * 0.8) for x in range(0, 16, 3) for y in range(0, 16, 4)
              for z in range(0, 16, 5)]
    return ([b.PtQuery(p) for p in points] +
            [b.RangeQuery(p, (p[0] + 1, p[1] + 0.5, p[2] + 2)) for p in points])


def change(b):
    for lo, hi, i in zip(*grid_boxes(80, seed=3)):
        b.AddToTree(lo, hi, i)
        b.RemoveFromTree(hi, lo, i + 1)


class CopyTest(unittest.TestCase):

    def test_every_copy_answers_and_changes_as_the_original(self):
        for make in (unit_boxes, lambda: Boxfinder.Boxfinder(*grid_boxes(400)), changed_tree,
                     lambda: Boxfinder.Boxfinder([], [], [])):
            roundtrip.assert_exact_copies(self, make, answers, change)

    def test_a_copy_of_a_thousand_boxes_takes_its_next_node_from_a_new_block(self):
        # The state carries the blocks' slot use: after the same insertion
        # the copy's state (new block, slot 1 next) is still the original's.
        def make():
            return Boxfinder.Boxfinder(*grid_boxes(1000))
        roundtrip.assert_exact_copies(self, make, answers,
                                      lambda b: b.AddToTree((0, 0, 0), (1, 1, 1), 1000))

    def test_the_state_is_one_compact_bytes_object(self):
        b = changed_tree(1000)
        rebuild, (state,) = b.__reduce__()
        self.assertIs(rebuild, Boxfinder._rebuild)
        self.assertIsInstance(state, bytes)
        # A node's box, links, id, flag and exact subtree box: 109 bytes.
        self.assertLess(len(state), 110 * 1060 + 100)
        self.assertLess(len(pickle.dumps(b, pickle.HIGHEST_PROTOCOL)), len(state) + 100)

    def test_damaged_states_are_refused_or_give_a_sound_tree(self):
        rebuild = Boxfinder._rebuild
        roundtrip.assert_damaged_states_handled(self, rebuild, changed_tree(40).__reduce__()[1][0],
                                                answers, 'invalid Boxfinder state: ')
        with self.assertRaises(ValueError) as caught:
            rebuild(unit_boxes().__reduce__()[1][0][:-1])
        self.assertEqual(str(caught.exception),
                         'invalid Boxfinder state: length does not match the node count')


class MemoryTest(unittest.TestCase):

    def test_no_growth_over_every_method_and_failing_calls(self):
        corners = [(i, i, i) for i in range(200)]
        uppers = [(i + 2, i + 2, i + 2) for i in range(200)]
        ids = list(range(200))

        def loop():
            for _ in range(30):
                b = Boxfinder.Boxfinder(corners, uppers, ids)
                b.AddToTree((0, 0, 0), (1, 1, 1), 9)
                b.RemoveFromTree((0, 0, 0), (1, 1, 1), 9)
                b.PtQuery(T(5, 5, 5))
                b.RangeQuery((0, 0, 0), (50, 50, 50))
                rss.calls(Boxfinder.Boxfinder, corners, uppers, [1])()
                rss.calls(Boxfinder.Boxfinder, corners, [(0, 0)], ids)()
                rss.calls(Boxfinder.Boxfinder, corners, uppers, ids[:-1] + [long_type(1)])()
                rss.calls(Boxfinder.Boxfinder, corners, uppers, ids[:-1] + [2 ** 100])()
                rss.calls(Boxfinder.Boxfinder, [(10 ** 400, 0, 0)], uppers[:1], ids[:1])()
                rss.calls(b.AddToTree, (0, 0, 0), (1, 1, 1), 2 ** 100)()
                for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
                    rss.calls(pickle.dumps, b, protocol)()
                rss.calls(copy.copy, b)()
                rss.calls(Boxfinder._rebuild, b.__reduce__()[1][0][:-3])()
                rss.calls(Boxfinder._rebuild, None)()
                rss.calls(Boxfinder.Boxfinder, 5, uppers, ids)()
                rss.calls(b.PtQuery, (1, 2))()
                rss.calls(b.RangeQuery, (1, 2, 3), 'abc')()
                rss.calls(b.AddToTree, (0, 0, 0), (1, 1, 1), 2 ** 40)()
                rss.calls(b.RemoveFromTree, (0, 0, 0), None, 1)()
        rss.assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
