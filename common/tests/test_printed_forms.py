"""What the value types (Triad, Hexad, Ennead) share beyond their own
suites: printed forms that do not follow the C locale, and copying support
that does not pretend to pickle."""
import cPickle
import locale
import os
import pickle
import shutil
import subprocess
import tempfile
import unittest

from Ennead import Ennead
from Hexad import Hexad
from Triad import Triad

# Locales whose decimal point is a comma; the first one installed is used.
COMMA_LOCALES = ['de_DE.UTF-8', 'de_DE.utf8', 'de_DE', 'fr_FR.UTF-8', 'fr_FR.utf8']


def compile_comma_locale(folder):
    """Compiles de_DE.UTF-8 into `folder` (for the C library's LOCPATH) from
    the locale sources most machines carry; returns its name or None."""
    try:
        with open(os.devnull, 'w') as quiet:
            subprocess.call(['localedef', '-i', 'de_DE', '-f', 'UTF-8',
                             os.path.join(folder, 'de_DE.UTF-8')],
                            stdout=quiet, stderr=quiet)
    except OSError:
        return None
    return 'de_DE.UTF-8' if os.path.isdir(os.path.join(folder, 'de_DE.UTF-8')) else None


class TestLocaleIndependence(unittest.TestCase):
    def setUp(self):
        self.saved = locale.setlocale(locale.LC_ALL)
        if not self.set_comma_locale():
            # None installed: compile one for this test alone.
            folder = tempfile.mkdtemp()
            self.addCleanup(shutil.rmtree, folder, True)
            name = compile_comma_locale(folder)
            saved_path = os.environ.get('LOCPATH')
            os.environ['LOCPATH'] = folder
            self.addCleanup(self.restore_locpath, saved_path)
            if name is None or not self.set_comma_locale([name]):
                self.skipTest('no locale with a decimal comma is installed (tried %s) '
                              'and none could be compiled' % ', '.join(COMMA_LOCALES))
        self.addCleanup(locale.setlocale, locale.LC_ALL, self.saved)
        # The C library now formats with a comma; the printed forms must not.
        self.assertEqual(locale.format('%g', 0.5), '0,5')

    def set_comma_locale(self, names=COMMA_LOCALES):
        for name in names:
            try:
                locale.setlocale(locale.LC_ALL, name)
                return True
            except locale.Error:
                continue
        return False

    @staticmethod
    def restore_locpath(saved):
        if saved is None:
            os.environ.pop('LOCPATH', None)
        else:
            os.environ['LOCPATH'] = saved

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
