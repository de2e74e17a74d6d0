"""Python interface of the Boxfinder module; what its objects share with
Crackrate and Eightfold (the factory-made type, its method lookup, copies
through the rebuild function) is tested once in
common/tests/test_native_object_scaffold.py."""
import copy
import math
import pickle
import random
import threading
import unittest
from array import array

import Triad
import Boxfinder
import roundtrip
import rss
from dialect import PY3, long_type, python2_only, python3_only
from messages import MessageAssertions

T = Triad.Triad


def unit_boxes():
    return Boxfinder.Boxfinder([(0, 0, 0), (1, 1, 1)], [(1, 1, 1), (2, 2, 2)], [7, 8])


class ConstructionTest(MessageAssertions, unittest.TestCase):

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
            self.assertFails(OverflowError, str(interpreters.exception), call)
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
            self.assertFails(TypeError, message, lambda: Boxfinder.Boxfinder(*args))

    @python2_only('longs are not client integers')
    def test_longs_are_refused(self):
        for ids in ([long_type(5)], [2 ** 100]):
            self.assertFails(TypeError, "third argument should a sequence of int's",
                             lambda: Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], ids))

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
            self.assertFails(OverflowError, message,
                             Boxfinder.Boxfinder, [(0, 0, 0)] * 2, [(1, 1, 1)] * 2, [1, big])
        b = Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [2 ** 31 - 1])
        self.assertEqual(b.PtQuery((0, 0, 0)), [2 ** 31 - 1])
        for big, message in [(2 ** 31, "signed integer is greater than maximum"),
                             (-2 ** 31 - 1, "signed integer is less than minimum"),
                             (2 ** 64, "Python int too large to convert to C long"),
                             (-2 ** 100, "Python int too large to convert to C long")]:
            for change in (b.AddToTree, b.RemoveFromTree):
                self.assertFails(OverflowError, message, change, (0, 0, 0), (1, 1, 1), big)
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


def gap(lo, hi, p):
    """The distance from p to [lo, hi] along one axis, as the tree defines it."""
    return max(lo - p if p < lo else 0.0, p - hi if p > hi else 0.0)


def brute_nearest(b, boxes, p, k, max_distance=float('inf')):
    """The k boxes nearest p by brute force: every live box in the tree's
    order (a range query over all space), stably sorted by distance."""
    everything = b.RangeQuery((-float('inf'),) * 3, (float('inf'),) * 3)
    found = []
    for i in everything:
        lo, hi = boxes[i]
        g = [gap(lo[a], hi[a], p[a]) for a in range(3)]
        d = math.sqrt((g[0] * g[0] + g[1] * g[1]) + g[2] * g[2])
        if d <= max_distance:
            found.append((i, d))
    found.sort(key=lambda pair: pair[1])
    return found[:k]


class NearestTest(MessageAssertions, unittest.TestCase):

    def test_matches_brute_force_on_random_inverted_and_mesh_boxes_after_updates(self):
        rng = random.Random(4)
        boxes = {}
        for i in range(300):
            lo = [rng.random() for _ in range(3)]
            extent = rng.choice([0.0, 0.1, -0.05])  # degenerate, proper, inverted
            boxes[i] = (lo, [x + extent * rng.random() for x in lo])
        for i in range(27):  # a grid of touching cells: ties everywhere
            lo = [i % 3, i // 3 % 3, i // 9]
            boxes[300 + i] = (lo, [x + 1 for x in lo])
        ids = sorted(boxes)
        b = Boxfinder.Boxfinder([boxes[i][0] for i in ids], [boxes[i][1] for i in ids], ids)
        for step in range(3):
            for q in range(60):
                p = [rng.uniform(-0.5, 3.5) for _ in range(3)]
                if q % 3 == 0:
                    p = [float(rng.randint(0, 3)) for _ in range(3)]
                k = rng.choice([1, 3, 10, 400])
                limit = rng.choice([None, 0.0, 0.3])
                want = brute_nearest(b, boxes, p, k, float('inf') if limit is None else limit)
                ids_got, distances = b.Nearest(p, k, withDistances=True, maxDistance=limit)
                self.assertEqual(list(zip(ids_got, distances)), want)
                self.assertEqual(b.Nearest(p, k, maxDistance=limit), ids_got)
            for i in rng.sample(sorted(boxes), 40):
                b.RemoveFromTree(boxes[i][0], boxes[i][1], i)
                del boxes[i]
            for i in range(1000 + 20 * step, 1020 + 20 * step):
                lo = [rng.uniform(0, 3) for _ in range(3)]
                boxes[i] = (lo, [x + 0.2 for x in lo])
                b.AddToTree(boxes[i][0], boxes[i][1], i)

    def test_matches_brute_force_as_built_removed_from_and_copied(self):
        # Until a box is added the tree answers through its query index:
        # ties at 0 in the grid and at shared corners, k inside and above
        # the 32 gathered inline and above the number of boxes.
        rng = random.Random(9)
        boxes = {}
        for i in range(1200):
            lo = [rng.random() for _ in range(3)]
            extent = rng.choice([0.0, 0.1, -0.05, 0.3])
            hi = [x + extent * rng.random() for x in lo]
            if i % 97 == 5:
                lo[i % 3] = float('nan')
            boxes[i] = (lo, hi)
        for i in range(64):
            lo = [i % 4 * 0.25, i // 4 % 4 * 0.25, i // 16 * 0.25]
            boxes[2000 + i] = (lo, [x + 0.25 for x in lo])
        ids = sorted(boxes)
        b = Boxfinder.Boxfinder([boxes[i][0] for i in ids], [boxes[i][1] for i in ids], ids)
        live = dict((i, box) for i, box in boxes.items() if not any(map(math.isnan, box[0])))

        def check(tree, queries):
            for q in range(queries):
                p = [rng.uniform(-0.2, 1.2) for _ in range(3)]
                if q % 2 == 0:
                    p = [rng.randint(0, 4) * 0.25 for _ in range(3)]
                k = rng.choice([1, 10, 33, 2000])
                limit = rng.choice([None, 0.0, 0.05])
                want = brute_nearest(tree, live, p, k, float('inf') if limit is None else limit)
                got = tree.Nearest(p, k, withDistances=True, maxDistance=limit)
                self.assertEqual(list(zip(*got)), want)
                self.assertEqual(tree.NearestMany([p], k, maxDistance=limit)[1].tolist(), got[0])

        check(b, 80)
        for i in rng.sample(sorted(live), 300):
            b.RemoveFromTree(live[i][0], live[i][1], i)
            del live[i]
        check(b, 80)
        check(pickle.loads(pickle.dumps(b)), 80)

    def test_containing_boxes_first_in_point_query_order(self):
        b = Boxfinder.Boxfinder([(0, 0, 0), (1, 1, 1), (0, 0, 0), (9, 9, 9)],
                                [(1, 1, 1), (2, 2, 2), (1, 1, 1), (9, 9, 9)], [1, 2, 3, 4])
        p = (1, 1, 1)
        self.assertEqual(b.Nearest(p, 3), b.PtQuery(p))
        self.assertEqual(b.Nearest(p, 10, withDistances=True)[1],
                         [0.0, 0.0, 0.0, math.sqrt(192)])
        # An inverted box is as far as the farther plane of its inverted axis.
        inverted = Boxfinder.Boxfinder([(1, 0, 0)], [(0, 1, 1)], [5])
        self.assertEqual(inverted.Nearest((0.25, 0.5, 0.5), 1, withDistances=True), ([5], [0.75]))
        self.assertEqual(inverted.PtQuery((0.25, 0.5, 0.5)), [])

    def test_empty_answers_and_refusals(self):
        b = unit_boxes()
        nan = float('nan')
        self.assertEqual(b.Nearest((nan, 0, 0), 2), [])
        self.assertEqual(b.Nearest((nan, 0, 0), 2, withDistances=True), ([], []))
        self.assertEqual(b.Nearest((5, 5, 5), 2, maxDistance=-1), [])
        self.assertEqual(b.Nearest((5, 5, 5), 2, maxDistance=nan), [])
        self.assertEqual(Boxfinder.Boxfinder([], [], []).Nearest((0, 0, 0), 1), [])
        self.assertEqual(b.Nearest((5, 5, 5), 2 ** 31 - 1), [8, 7])
        for k in (0, -3):
            self.assertFails(ValueError, 'k should be at least 1', lambda: b.Nearest((0, 0, 0), k))
        self.assertFails(TypeError, 'Nearest() takes 2 positional arguments (3 given)',
                         lambda: b.Nearest((0, 0, 0), 1, True))
        for call in (lambda: b.Nearest((0, 0, 0), 1.5), lambda: b.Nearest((0, 0, 0)),
                     lambda: b.Nearest((0, 0, 0), 1, maxDistance='far'),
                     lambda: b.Nearest((0, 0, 0), 1, far=2), lambda: b.Nearest(5, 1)):
            self.assertRaises(TypeError, call)
        self.assertRaises(OverflowError, b.Nearest, (0, 0, 0), 2 ** 40)
        self.assertRaises(IndexError, b.Nearest, (0, 0), 1)


class IndexIdTest(MessageAssertions, unittest.TestCase):

    class Index(object):
        """An integer of another type, as numpy's are."""
        def __init__(self, value):
            self.value = value

        def __index__(self):
            if self.value is None:
                raise ValueError('no value')
            return self.value

    @python3_only('__index__ ids')
    def test_objects_with_index_are_ids_under_python_3(self):
        I = self.Index
        b = Boxfinder.Boxfinder([(0, 0, 0)] * 2, [(1, 1, 1)] * 2, [I(4), I(-2 ** 31)])
        b.AddToTree((0, 0, 0), (1, 1, 1), I(2 ** 31 - 1))
        self.assertEqual(sorted(b.PtQuery((0, 0, 0))), [-2 ** 31, 4, 2 ** 31 - 1])
        for big, message in [(2 ** 31, "signed integer is greater than maximum"),
                             (-2 ** 100, "signed integer is less than minimum")]:
            self.assertFails(OverflowError, message,
                             lambda: Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [I(big)]))
            # AddToTree gives the messages it gives for the int itself.
            with self.assertRaises(OverflowError) as plain:
                b.AddToTree((0, 0, 0), (1, 1, 1), big)
            self.assertFails(OverflowError, str(plain.exception),
                             lambda: b.AddToTree((0, 0, 0), (1, 1, 1), I(big)))
        self.assertRaises(ValueError, Boxfinder.Boxfinder, [(0, 0, 0)], [(1, 1, 1)], [I(None)])

    @python2_only('ids are ints under Python 2.7')
    def test_objects_with_index_are_refused_under_python_2(self):
        self.assertFails(TypeError, "third argument should a sequence of int's",
                         lambda: Boxfinder.Boxfinder([(0, 0, 0)], [(1, 1, 1)], [self.Index(4)]))


def rows(result):
    """Compressed rows as a list of per-query lists."""
    offsets, ids = result[0].tolist(), result[1].tolist()
    return [ids[offsets[i]:offsets[i + 1]] for i in range(len(offsets) - 1)]


def random_tree(rng, n):
    lows = [(rng.random(), rng.random(), rng.random()) for _ in range(n)]
    highs = [tuple(c + rng.uniform(-0.02, 0.1) for c in lo) for lo in lows]
    return Boxfinder.Boxfinder(lows, highs, list(range(n))), lows, highs


class BatchTest(MessageAssertions, unittest.TestCase):

    def test_rows_are_the_single_queries_for_every_input_kind(self):
        rng = random.Random(9)
        b, lows, highs = random_tree(rng, 400)
        for i in range(0, 400, 7):
            b.RemoveFromTree(lows[i], highs[i], i)
        points = [(rng.uniform(-0.1, 1.1), rng.random(), rng.random()) for _ in range(150)]
        points[3] = (float('nan'), 0.5, 0.5)
        uppers = [tuple(c + 0.05 for c in p) for p in points]
        flat = array('d', [c for p in points for c in p])
        for given in (points, [T(*p) for p in points], [list(p) for p in points],
                      memoryview(flat) if PY3 else flat):
            self.assertEqual(rows(b.PtQueryMany(given)), [b.PtQuery(p) for p in points])
        self.assertEqual(rows(b.RangeQueryMany(points, uppers)),
                         [b.RangeQuery(p, q) for p, q in zip(points, uppers)])
        offsets, ids, distances = b.NearestMany(points, 5, withDistances=True,
                                                maxDistance=0.3)
        self.assertEqual(rows((offsets, ids)), [b.Nearest(p, 5, maxDistance=0.3)
                                                for p in points])
        self.assertEqual(distances.tolist(),
                         [d for p in points
                          for d in b.Nearest(p, 5, withDistances=True, maxDistance=0.3)[1]])
        self.assertEqual(rows(b.NearestMany(points, 2)), [b.Nearest(p, 2) for p in points])

    def test_result_arrays_carry_shape_and_format(self):
        b = unit_boxes()
        offsets, ids = b.PtQueryMany([(1, 1, 1), (5, 5, 5), (0.5, 0.5, 0.5)])
        self.assertEqual((offsets.format, offsets.shape, offsets.tolist()), ('q', (4,), [0, 2, 2, 3]))
        self.assertEqual((ids.format, ids.shape, ids.tolist()), ('i', (3,), [8, 7, 7]))
        self.assertEqual(len(memoryview(ids)), 3)
        empty = b.PtQueryMany([])
        self.assertEqual((empty[0].tolist(), empty[1].tolist()), ([0], []))
        self.assertEqual(b.NearestMany([], 3, withDistances=True)[2].tolist(), [])

    @python3_only('numpy is installed for Python 3')
    def test_numpy_in_and_out_without_copies(self):
        import numpy
        rng = random.Random(2)
        b, _, _ = random_tree(rng, 300)
        points = numpy.random.RandomState(1).rand(500, 3)
        offsets, ids = b.PtQueryMany(points)
        wrapped = numpy.asarray(ids)
        self.assertEqual(wrapped.dtype, numpy.int32)
        self.assertEqual(numpy.asarray(offsets).dtype, numpy.int64)
        if len(wrapped):
            wrapped[0] = -5  # the array's own memory, not a copy
            self.assertEqual(ids.tolist()[0], -5)
        single = [b.PtQuery(tuple(p)) for p in points]
        self.assertEqual(numpy.asarray(offsets).tolist()[-1], sum(len(r) for r in single))
        with self.assertRaises(TypeError):
            b.PtQueryMany(points.astype(numpy.float32))
        with self.assertRaises(ValueError):
            b.PtQueryMany(numpy.zeros((4, 2)))

    def test_refusals(self):
        b = unit_boxes()
        self.assertFails(ValueError, 'lows and highs should have the same number of rows',
                         lambda: b.RangeQueryMany([(0, 0, 0)], [(1, 1, 1), (2, 2, 2)]))
        self.assertFails(ValueError, 'k should be at least 1',
                         lambda: b.NearestMany([(0, 0, 0)], 0))
        self.assertRaises(TypeError, b.NearestMany, [(0, 0, 0)], 1, True)
        self.assertRaises(TypeError, b.PtQueryMany, 5)
        self.assertRaises(ValueError, b.PtQueryMany, [(0, 0)])
        self.assertRaises(TypeError, b.PtQueryMany, [(0, 'a', 0)])

    def test_answers_stay_when_queries_lay_the_index_out_again(self):
        # Insertions set the query index aside; once the queries since have
        # walked the tree long enough, the next query lays it out again.
        rng = random.Random(12)
        b, lows, highs = random_tree(rng, 3000)
        for i in range(0, 3000, 9):
            b.RemoveFromTree(lows[i], highs[i], i)
        for i in range(300):
            lo = [rng.random() for _ in range(3)]
            b.AddToTree(lo, [x + 0.04 for x in lo], 5000 + i)
        points = [(rng.random(), rng.random(), rng.random()) for _ in range(90)]

        def all_answers():
            return ([b.PtQuery(p) for p in points] +
                    [b.RangeQuery(p, [x + 0.05 for x in p]) for p in points] +
                    [b.Nearest(p, 5, withDistances=True) for p in points])
        walked = all_answers()  # fewer queries than pay for a layout
        b.PtQueryMany([(rng.random(), rng.random(), rng.random()) for _ in range(1000)])
        indexed = all_answers()
        self.assertEqual(indexed, walked)
        self.assertEqual(rows(b.PtQueryMany(points)), walked[:len(points)])

    def test_changes_are_refused_while_a_batch_runs_in_another_thread(self):
        rng = random.Random(3)
        b, lows, highs = random_tree(rng, 3000)
        points = array('d', [rng.random() for _ in range(3 * 100000)])
        if PY3:
            points = memoryview(points)
        started, done = threading.Event(), threading.Event()
        results = []

        def batches():
            started.set()
            for _ in range(3):
                results.append(b.PtQueryMany(points))
            done.set()
        worker = threading.Thread(target=batches)
        worker.start()
        started.wait()
        refused = 0
        added = False  # the insertion may land and its removal be refused
        while not done.is_set():
            try:
                if not added:
                    b.AddToTree((5, 5, 5), (6, 6, 6), 99999)
                    added = True
                b.RemoveFromTree((5, 5, 5), (6, 6, 6), 99999)
                added = False
            except RuntimeError as e:
                self.assertEqual(str(e), 'the tree cannot change while a batch query reads it')
                refused += 1
            b.PtQuery((0.5, 0.5, 0.5))  # reading alongside is fine
        worker.join()
        self.assertGreater(refused, 0)
        self.assertEqual(len(results), 3)
        if not added:
            b.AddToTree((5, 5, 5), (6, 6, 6), 99999)
        self.assertEqual(b.PtQuery((5.5, 5.5, 5.5)), [99999])


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
            [b.RangeQuery(p, (p[0] + 1, p[1] + 0.5, p[2] + 2)) for p in points] +
            [b.Nearest(p, 4, withDistances=True) for p in points])


def change(b):
    for lo, hi, i in zip(*grid_boxes(80, seed=3)):
        b.AddToTree(lo, hi, i)
        b.RemoveFromTree(hi, lo, i + 1)


class CopyTest(MessageAssertions, unittest.TestCase):

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
        state = b.__reduce__()[1][0]
        # A node's box, links, id, flag and exact subtree box: 109 bytes.
        self.assertLess(len(state), 110 * 1060 + 100)
        self.assertLess(len(pickle.dumps(b, pickle.HIGHEST_PROTOCOL)), len(state) + 100)

    def test_damaged_states_are_refused_or_give_a_sound_tree(self):
        rebuild = Boxfinder._rebuild
        roundtrip.assert_damaged_states_handled(self, rebuild, changed_tree(40).__reduce__()[1][0],
                                                answers, 'invalid Boxfinder state: ')
        self.assertFails(ValueError,
                         'invalid Boxfinder state: length does not match the node count',
                         rebuild, unit_boxes().__reduce__()[1][0][:-1])


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
                b.Nearest((3, 3, 3), 20, withDistances=True, maxDistance=30)
                rss.calls(b.Nearest, (1, 2), 3)()
                rss.calls(b.Nearest, (1, 2, 3), 0)()
                rss.calls(lambda: b.Nearest((1, 2, 3), 2, maxDistance='far'))()
                b.PtQueryMany(corners)
                b.RangeQueryMany(corners, uppers)
                b.NearestMany(corners[:50], 3, withDistances=True)
                # A tree not added to answers through its query index.
                built = Boxfinder.Boxfinder(corners, uppers, ids)
                built.Nearest((3, 3, 3), 40, withDistances=True, maxDistance=30)
                built.NearestMany(corners[:50], 3, withDistances=True)
                rss.calls(built.Nearest, (1, 2, 3), 0)()
                rss.calls(built.NearestMany, [(1, 2)], 3)()
                rss.calls(b.PtQueryMany, [(1, 2)])()
                rss.calls(b.RangeQueryMany, corners, uppers[:3])()
                rss.calls(b.NearestMany, corners, 0)()
        rss.assert_no_growth(self, loop)


if __name__ == '__main__':
    unittest.main()
