"""Hexad's traction on a plane and its batch functions over float64 rows,
each row bit for bit the per-object method on that row."""
import unittest

import Triad
from Hexad import Hexad as H
from dialect import signature
from rss import assert_ops_no_growth, calls


class TestTraction(unittest.TestCase):
    def test_traction_is_the_tensor_applied_to_the_normal(self):
        t = H(1, 2, 3, 4, 5, 6)
        for n in [Triad.Triad(0, 1, 0), (0, 1, 0), [0.0, 1, 0.0]]:
            w = t.Traction(n)
            self.assertIs(type(w), Triad.Triad)
            self.assertEqual([w[0], w[1], w[2]], [4.0, 2.0, 5.0])
        w = t.Traction((1, 1, 1))
        self.assertEqual([w[0], w[1], w[2]], [11.0, 11.0, 14.0])
        self.assertEqual(list(t), [1, 2, 3, 4, 5, 6])

    def test_traction_refuses_what_is_no_vector(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, t.Traction, 3)
        self.assertRaises(IndexError, t.Traction, (1, 2))
        self.assertRaises(TypeError, t.Traction)
        self.assertEqual(signature(H.Traction), '($self, n, /)')

    def test_traction_no_growth(self):
        t = H(1, 2, 3, 4, 5, 6)
        ops = [lambda: t.Traction((0, 0, 1)), calls(t.Traction, 3), calls(t.Traction, (1, 2))]
        assert_ops_no_growth(self, ops, 20000)


if __name__ == "__main__":
    unittest.main()
