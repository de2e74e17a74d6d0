"""The Boxfinder module bound to an old-style class standing in for the
vector module (a vector module written in Python); under Python 3, which
has no old-style classes, an ordinary class."""
import unittest

from dialect import python2_only, python3_only
from old_triad import OldTriad, OldTriadChild, install

install()
import Boxfinder  # binds OldTriad


class OldStyleBindingTest(unittest.TestCase):
    def message(self, call, *args):
        with self.assertRaises(TypeError) as cm:
            call(*args)
        return str(cm.exception)

    def test_instances_are_read(self):
        b = Boxfinder.Boxfinder([OldTriad(0, 0, 0), OldTriadChild(1, 1, 1)],
                                [OldTriad(1, 1, 1), OldTriad(2, 2, 2.0)], [7, 8])
        self.assertEqual(b.PtQuery(OldTriad(1, 1, 1)), [8, 7])
        b.AddToTree(OldTriad(5, 5, 5), OldTriadChild(6, 6, 6), 9)
        self.assertEqual(b.RangeQuery(OldTriad(4, 4, 4), OldTriad(5, 5, 5)), [9])

    @python3_only('a bound Python class reads any indexable argument')
    def test_other_sequences_are_read(self):
        b = Boxfinder.Boxfinder([(0, 0, 0), OldTriad(1, 1, 1)], [[1, 1, 1], (2, 2, 2)], [1, 2])
        self.assertEqual(b.PtQuery([1, 1, 1]), [2, 1])
        b.AddToTree((5, 5, 5), OldTriad(6, 6, 6), 9)
        self.assertEqual(b.RangeQuery(range(4, 7), [7, 7, 7]), [9])
        b.RemoveFromTree(OldTriad(5, 5, 5), (6, 6, 6), 9)
        self.assertEqual(b.RangeQuery((4, 4, 4), (5, 5, 5)), [])

    @python2_only('old-style classes: only their instances are vectors')
    def test_other_sequences_are_refused(self):
        lists = "argument should a sequence of Triad's"
        self.assertEqual(self.message(Boxfinder.Boxfinder, [(0, 0, 0)], [OldTriad(1, 1, 1)],
                                      [1]), lists)
        self.assertEqual(self.message(Boxfinder.Boxfinder, [OldTriad(0, 0, 0)], [[1, 1, 1]],
                                      [1]), lists)
        b = Boxfinder.Boxfinder([OldTriad(0, 0, 0)], [OldTriad(1, 1, 1)], [1])
        for call, args in [(b.PtQuery, ((0, 0, 0),)),
                           (b.RangeQuery, (OldTriad(0, 0, 0), [1, 1, 1])),
                           (b.AddToTree, ((0, 0, 0), OldTriad(1, 1, 1), 2)),
                           (b.RemoveFromTree, (OldTriad(0, 0, 0), (1, 1, 1), 1))]:
            self.assertEqual(self.message(call, *args), "argument should be a Triad")
        self.assertEqual(b.PtQuery(OldTriad(0.5, 0.5, 0.5)), [1])


if __name__ == '__main__':
    unittest.main()
