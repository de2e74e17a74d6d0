"""The Hexad column tensor's own texts, argument handling and product;
what it shares with Triad and Ennead is tested once in
common/tests/test_value_type_scaffold.py."""
import unittest

import Hexad
from Hexad import Hexad as H
from messages import MessageAssertions
from rss import assert_ops_no_growth, calls

MULTIPLY = "Can only multiply a number or a Hexad with a Hexad instance"


class Sub(H):
    pass


def values(t):
    return list(t)


class TestModule(unittest.TestCase):
    def test_module_and_method_texts(self):
        self.assertEqual(Hexad.__doc__, "Module that implements a column 2nd order tensor")
        self.assertEqual(H.xx.__doc__, "xx component")
        self.assertEqual(H.J2.__doc__, "second invariant of the deviatoric tensor")
        self.assertEqual(H.PrincipalValues.__doc__, "principal values")

    def test_no_argument_methods_refuse_arguments(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertRaises(TypeError, t.Norm, 1)
        self.assertRaises(TypeError, t.xx, 1)
        self.assertEqual(t.EffectiveStrain(1, 2), t.EffectiveStrain())
        self.assertEqual(values(t.DeviatoricPart("a")), values(t.DeviatoricPart()))


class TestProduct(MessageAssertions, unittest.TestCase):
    def test_the_product_sums_the_products_of_the_six_stored_components(self):
        t = H(1, 2, 3, 4, 5, 6)
        self.assertEqual(t * H(1, 1, 1, 1, 1, 1), 21.0)
        self.assertEqual(t * t, 91.0)
        self.assertIs(type(t * H(0.5, -1, 2, 0, 3, -2)), float)
        # Summed yy, xx, zz, xy, yz, zx from the left: the order shows when
        # the terms cancel.
        a = H(0, 1e16, 0, 1, 0, -1e16)
        self.assertEqual(a * H(1, 1, 1, 1, 1, 1), 0.0)
        self.assertEqual(H(1, 1, 1, 1, 1, 1) * a, 0.0)
        self.assertFails(TypeError, MULTIPLY, lambda: t * Sub(1, 1, 1, 1, 1, 1))
        self.assertEqual(values(t), [1, 2, 3, 4, 5, 6])

    def test_no_growth(self):
        t, s = H(1, 2, 3, 4, 5, 6), H(0.5, -1, 2, 0, 3, -2)
        assert_ops_no_growth(self, [lambda: t * s, calls(lambda: t * Sub(*range(6)))], 20000)


if __name__ == "__main__":
    unittest.main()
