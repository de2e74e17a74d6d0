"""What the value types (Triad, Hexad, Ennead) share beyond their own
suites: printed forms that do not follow the C locale, and pickles that
hold values of every type together."""
import locale
import os
import pickle
import shutil
import subprocess
import tempfile
import unittest

import Ennead as EnneadModule
import Hexad as HexadModule
import Triad as TriadModule
from Ennead import Ennead
from Hexad import Hexad
from Triad import Triad
from roundtrip import bits, pickle_ways
from messages import MessageAssertions

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
        self.assertEqual(locale.format_string('%g', 0.5), '0,5')

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


def components(value):
    # The components as the value's copy support hands them over.
    return list(value.__reduce__()[1][0])


class TestPickling(MessageAssertions, unittest.TestCase):
    def test_values_of_every_type_pickle_together(self):
        values = [Triad(1, -0.0, 3), Hexad(1, 2, 3, 4, 5, float('inf')),
                  Ennead(*range(9)), Triad(0.5, 0.25, 0.125)]
        values.append(values[0])
        for how, way in pickle_ways():
            got = way({'vectors': values, 'first': values[1]})
            self.assertEqual([type(v) for v in got['vectors']],
                             [Triad, Hexad, Ennead, Triad, Triad], how)
            self.assertEqual([bits(components(v)) for v in got['vectors']],
                             [bits(components(v)) for v in values], how)
            self.assertIs(got['vectors'][0], got['vectors'][4], how)
            self.assertIs(got['first'], got['vectors'][1], how)

    def test_pickles_name_the_modules_rebuild_function(self):
        # What another process needs to load them: the module and its
        # function, found by name.
        for module, value in [(TriadModule, Triad(1, 2, 3)), (HexadModule, Hexad(*range(6))),
                              (EnneadModule, Ennead(*range(9)))]:
            for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
                data = pickle.dumps(value, protocol)
                self.assertIn(module.__name__.encode('ascii'), data)
                self.assertIn(b'_rebuild', data)
                self.assertNotIn(b'__builtin__', data)

    def test_rebuild_functions_keep_to_their_own_type(self):
        message = "_rebuild takes the components of a value and a subclass of its type"
        nine = tuple(float(i) for i in range(9))
        for rebuild, args in [(TriadModule._rebuild, (nine[:3], Hexad)),
                              (HexadModule._rebuild, (nine[:6], Ennead)),
                              (EnneadModule._rebuild, (nine, Triad)),
                              (TriadModule._rebuild, (nine,)),
                              (HexadModule._rebuild, (nine[:3],))]:
            self.assertFails(TypeError, message, lambda: rebuild(*args))


if __name__ == '__main__':
    unittest.main()
