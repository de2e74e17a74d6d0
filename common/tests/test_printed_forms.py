"""What the value types (Triad, Hexad, Ennead) share beyond their own
suites: printed forms that do not follow the C locale, and copying support
that does not pretend to pickle."""
import cPickle
import locale
import pickle
import unittest

from Ennead import Ennead
from Hexad import Hexad
from Triad import Triad

# Locales whose decimal point is a comma; the first one installed is used.
COMMA_LOCALES = ['de_DE.UTF-8', 'de_DE.utf8', 'de_DE', 'fr_FR.UTF-8', 'fr_FR.utf8']


class TestLocaleIndependence(unittest.TestCase):
    def setUp(self):
        self.saved = locale.setlocale(locale.LC_ALL)
        for name in COMMA_LOCALES:
            try:
                locale.setlocale(locale.LC_ALL, name)
                break
            except locale.Error:
                continue
        else:
            self.skipTest('no locale with a decimal comma is installed (tried %s)'
                          % ', '.join(COMMA_LOCALES))
        self.addCleanup(locale.setlocale, locale.LC_ALL, self.saved)
        # The C library now formats with a comma; the printed forms must not.
        self.assertEqual(locale.format('%g', 0.5), '0,5')

    def test_printed_forms_keep_the_decimal_point(self):
        self.assertEqual(str(Triad(0.5, 1.25, -3)), "0.5 1.25 -3")
        self.assertEqual(repr(Hexad(0.5, 1.25, -3, 1e-5, 123456.7, 0)),
                         "0.5 1.25 -3 1e-05 123457 0")
        self.assertEqual(str(Ennead(0.5, 1.25, -3, 1e20, 0.1, -0.0, 2.5e-300, 1, 2)),
                         "0.5 1.25 -3 1e+20 0.1 -0 2.5e-300 1 2")


class TestPickling(unittest.TestCase):
    def test_pickling_fails_with_the_interpreters_error(self):
        for value in [Triad(1, 2, 3), Hexad(1, 2, 3, 4, 5, 6), Ennead(*range(9))]:
            for module in (pickle, cPickle):
                for protocol in (0, 2):
                    self.assertRaises(module.PicklingError, module.dumps, value, protocol)


if __name__ == '__main__':
    unittest.main()
