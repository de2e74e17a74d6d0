"""The vector binding, through the test-only VectorProbe module, with each
kind of object a vector module may export as "Triad"."""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest
from decimal import Decimal

import Triad
import VectorProbe
from Triad import Triad as T
from dialect import PRINT_FUNCTION, PY3, long_type, python2_only, python3_only, range_, text
import rss
from rss import assert_no_growth, calls

PROBE_DIR = os.path.dirname(VectorProbe.__file__)
# The file names of the built modules, which carry the interpreter's suffix
# under Python 3.
PROBE_FILE = os.path.basename(VectorProbe.__file__)
TRIAD_FILE = os.path.basename(Triad.__file__)
# The interpreter's message for a module that cannot be found.
NOT_FOUND = "No module named 'Triad'" if PY3 else "No module named Triad"


class SubTriad(T):
    pass


class TypeBindingTest(unittest.TestCase):
    def test_reads_any_three_item_sequence(self):
        for v in [T(1, 2, 3), (1, 2, 3), [1.0, 2, long_type(3)], SubTriad(1, 2, 3), range_(1, 4)]:
            self.assertEqual(VectorProbe.Read(v), (1.0, 2.0, 3.0))
        self.assertEqual(VectorProbe.Read([1.5, True, -0.25]), (1.5, 1.0, -0.25))
        self.assertEqual(VectorProbe.Read((1, 2, 3, 4)), (1.0, 2.0, 3.0))

    def test_non_float_items_read_through_float_conversion(self):
        big = 2 ** 70 + 1
        self.assertEqual(VectorProbe.Read((Decimal('2.75'), big, -big)),
                         (2.75, float(big), -float(big)))

        class Half(object):
            def __float__(self):
                return 0.5
        self.assertEqual(VectorProbe.Read([Half(), 0, 0]), (0.5, 0.0, 0.0))

    @python3_only('ints of any size')
    def test_ints_beyond_a_double_overflow(self):
        self.assertEqual(VectorProbe.Read([2 ** 64 + 2 ** 11 + 1, 0, 0]),
                         (2.0 ** 64 + 2.0 ** 12, 0.0, 0.0))
        for bad in [(10 ** 400, 0, 0), [0, 0, -10 ** 400]]:
            self.assertRaises(OverflowError, VectorProbe.Read, bad)

    def test_unreadable_vectors_raise(self):
        for bad in [(1, 2), [], 5, None, {0: 1, 1: 2, 2: 3, 3: 4}, (1, 'a', 3), (1, None, 3),
                    (1, 2, 1j)]:
            self.assertRaises((TypeError, IndexError, KeyError), VectorProbe.Read, bad)

    def test_build_makes_the_bound_type(self):
        v = VectorProbe.Build(1, 2, 3)
        self.assertIs(type(v), T)
        self.assertEqual(list(v), [1.0, 2.0, 3.0])

    def test_no_growth(self):
        ops = [lambda: VectorProbe.Read(T(1, 2, 3)),
               lambda: VectorProbe.Read((1, 2.0, long_type(3))),
               lambda: VectorProbe.Build(1, 2, 3), calls(VectorProbe.Read, (1, 'a', 3)),
               calls(VectorProbe.Read, (1, 2)), calls(VectorProbe.Read, (10 ** 400, 0, 0))]

        def loop():
            for _ in range(30000):
                for op in ops:
                    op()
        assert_no_growth(self, loop)


class OtherBindingsTest(unittest.TestCase):
    """Each case runs in a fresh interpreter with its own vector module."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        os.symlink(os.path.join(PROBE_DIR, PROBE_FILE), os.path.join(self.dir, PROBE_FILE))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_script(self, triad_py, script):
        if triad_py is not None:
            with open(os.path.join(self.dir, 'Triad.py'), 'w') as f:
                f.write(textwrap.dedent(triad_py))
        env = dict(os.environ, PYTHONPATH=self.dir)
        script = self.PRELUDE + textwrap.dedent(script)
        proc = subprocess.Popen([sys.executable, '-B', '-c', script],
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = proc.communicate()
        self.assertEqual(proc.returncode, 0, text(err))
        return text(out).strip()

    # show(call): prints what the call returns, or the exception it raises.
    PRELUDE = PRINT_FUNCTION + textwrap.dedent('''
        def show(call):
            try:
                print(call())
            except Exception as e:
                print('%s: %s' % (type(e).__name__, e))
        ''')

    OLD_STYLE = '''
        class Triad:
            def __init__(self, x, y, z):
                self.c = [x, y, z]
            def __getitem__(self, i):
                return self.c[i]
        '''

    @python2_only('old-style classes')
    def test_old_style_class(self):
        out = self.run_script(self.OLD_STYLE, '''
            import VectorProbe, Triad
            show(lambda: VectorProbe.Read((1, 2, 3)))
            class Sub(Triad.Triad):
                pass
            print(VectorProbe.Read(Triad.Triad(1, 2, 3)), VectorProbe.Read(Sub(4, 5.5, 6)))
            v = VectorProbe.Build(7, 8, 9)
            print(isinstance(v, Triad.Triad), v.c)
            ''')
        self.assertEqual(out.splitlines(), ["TypeError: argument should be a Triad",
                                            "(1.0, 2.0, 3.0) (4.0, 5.5, 6.0)",
                                            "True [7.0, 8.0, 9.0]"])

    @python3_only('a callable that is no type nor built-in function: a factory function')
    def test_factory_function(self):
        out = self.run_script('''
            made = []
            def Triad(x, y, z):
                made.append((x, y, z))
                return [x, y, z]
            ''', '''
            import VectorProbe, Triad
            print(VectorProbe.Build(1, 2.5, -3), Triad.made)
            # Vectors are read by indexing alone, with no instance check.
            print(VectorProbe.Read((4, 5, 6)), VectorProbe.Read(VectorProbe.Build(7, 8, 9)))
            VectorProbe.Bind(1)
            print(VectorProbe.Build(0, 0, 1))
            ''')
        self.assertEqual(out.splitlines(), ["[1.0, 2.5, -3.0] [(1.0, 2.5, -3.0)]",
                                            "(4.0, 5.0, 6.0) (7.0, 8.0, 9.0)",
                                            "[0.0, 0.0, 1.0]"])

    @python3_only('a factory function')
    def test_factory_function_no_growth(self):
        out = self.run_script('''
            def Triad(x, y, z):
                if x < 0:
                    raise ValueError("no vector")
                return [x, y, z]
            ''', '''
            import sys, unittest
            sys.path.insert(0, %r)
            import rss, VectorProbe
            class Case(unittest.TestCase):
                def runTest(self):
                    pass
            ops = [lambda: VectorProbe.Build(1, 2, 3), rss.calls(VectorProbe.Build, -1, 2, 3),
                   lambda: VectorProbe.Read([1, 2, 3])]
            try:
                rss.assert_ops_no_growth(Case(), ops, 30000)
            except unittest.SkipTest:
                pass
            print("ok")
            ''' % os.path.dirname(os.path.abspath(rss.__file__)))
        self.assertEqual(out, "ok")

    @python3_only('callables that are no types nor built-in functions')
    def test_other_callables_and_their_failures(self):
        for triad_py, expected in [
                ('Triad = lambda *c: tuple(reversed(c))\n', "(3.0, 2.0, 1.0)"),
                ('import functools\nTriad = functools.partial(lambda *c: sum(c))\n', "6.0"),
                ('class Maker(object):\n'
                 '    def __call__(self, x, y, z):\n'
                 '        return {"z": z}\n'
                 'Triad = Maker()\n', "{'z': 3.0}"),
                ('class Maker(object):\n'
                 '    def make(self, x, y, z):\n'
                 '        return x - y - z\n'
                 'Triad = Maker().make\n', "-4.0"),
                # The factory's own failure reaches the caller.
                ('def Triad(x, y, z):\n'
                 '    raise ValueError("no vector today")\n', "ValueError: no vector today"),
                ('def Triad(x):\n    return x\n',
                 "TypeError: Triad() takes 1 positional argument but 3 were given")]:
            out = self.run_script(triad_py, '''
                import VectorProbe
                show(lambda: VectorProbe.Build(1, 2, 3))
                ''')
            self.assertEqual(out, expected, triad_py)

    def test_binding_outlives_the_module_attribute(self):
        out = self.run_script(self.OLD_STYLE, '''
            import gc, sys, VectorProbe, Triad
            del Triad.Triad
            del sys.modules['Triad'], Triad
            gc.collect()
            print(VectorProbe.Build(1, 2, 3).c)
            ''')
        self.assertEqual(out, "[1.0, 2.0, 3.0]")

    def test_built_in_function(self):
        out = self.run_script('Triad = max\n', '''
            import VectorProbe
            show(lambda: VectorProbe.Build(1, 2, 3))
            VectorProbe.Bind(1)
            print(VectorProbe.Build(1, 5, 3), VectorProbe.Read((1, 2, 3)))
            import Triad
            Triad.Triad = min  # the binding holds what it found at start-up
            print(VectorProbe.Build(1, 5, 3))
            ''')
        self.assertEqual(out.splitlines(), ["TypeError: Problem building Triad object",
                                            "5.0 (1.0, 2.0, 3.0)", "5.0"])

    def test_failing_function_gives_build_problem(self):
        out = self.run_script('Triad = divmod\n', '''
            import VectorProbe
            VectorProbe.Bind(1)
            show(lambda: VectorProbe.Build(1, 2, 3))
            ''')
        self.assertEqual(out, "TypeError: Problem building Triad object")

    def test_other_objects_cannot_build(self):
        out = self.run_script('Triad = 42\n', '''
            import VectorProbe
            show(lambda: VectorProbe.Build(1, 2, 3))
            show(lambda: VectorProbe.Read([1, 2, 3]))
            ''')
        self.assertEqual(out.splitlines(), ["TypeError: Problem building Triad object",
                                            "(1.0, 2.0, 3.0)"])

    def test_imports_vector_module_when_absent(self):
        os.symlink(os.path.join(PROBE_DIR, TRIAD_FILE), os.path.join(self.dir, TRIAD_FILE))
        out = self.run_script(None, '''
            import sys
            assert 'Triad' not in sys.modules
            import VectorProbe
            print('Triad' in sys.modules, type(VectorProbe.Build(1, 2, 3)).__name__)
            ''')
        self.assertEqual(out, "True Triad")

    def test_types_that_build_in_their_creation_slot(self):
        out = self.run_script('''
            import collections
            Triad = collections.namedtuple('Triad', 'x y z')
            class Pair(tuple):  # a tuple subclass that keeps its own order
                def __new__(cls, x, y, z):
                    return tuple.__new__(cls, (z, y, x))
            ''', '''
            import Triad, VectorProbe
            v = VectorProbe.Build(1, 2, 3)
            print(type(v) is Triad.Triad, v.x, v.y, v.z, VectorProbe.Read(v))
            Triad.Triad = Triad.Pair
            VectorProbe.Bind()
            v = VectorProbe.Build(1, 2, 3)
            print(type(v).__name__, v)
            ''')
        self.assertEqual(out.splitlines(), ["True 1.0 2.0 3.0 (1.0, 2.0, 3.0)",
                                            "Pair (3.0, 2.0, 1.0)"])

    def test_failed_import_fails_again_until_triad_can_be_imported(self):
        out = self.run_script(None, '''
            import importlib, os, sys
            for attempt in range(2):
                try:
                    import VectorProbe
                except ImportError as e:
                    print(e, 'VectorProbe' in sys.modules)
            with open(os.path.join(os.environ['PYTHONPATH'], 'Triad.py'), 'w') as f:
                f.write('import collections\\n'
                        'Triad = collections.namedtuple("Triad", "x y z")\\n')
            # Python 3 caches the folder's listing from the failed imports.
            getattr(importlib, 'invalidate_caches', lambda: None)()
            import VectorProbe
            print(VectorProbe.Read([1, 2, 3]), VectorProbe.Build(1, 2, 3))
            ''')
        self.assertEqual(out.splitlines(), [NOT_FOUND + " False"] * 2 +
                         ["(1.0, 2.0, 3.0) Triad(x=1.0, y=2.0, z=3.0)"])

    def test_the_vector_modules_own_import_error_fails_the_import(self):
        out = self.run_script(None, '''
            import sys
            class NoTriad(object):
                def find_module(self, name, path=None):  # Python 2.7
                    return self if name == "Triad" else None
                def load_module(self, name):
                    raise ImportError("no module named Triad here")
                def find_spec(self, name, path=None, target=None):  # Python 3
                    if name == "Triad":
                        self.load_module(name)
            sys.meta_path.insert(0, NoTriad())
            try:
                import VectorProbe
            except ImportError as e:
                print(e, 'VectorProbe' in sys.modules)
            ''')
        self.assertEqual(out, "no module named Triad here False")

    def test_blocked_or_odd_vector_modules_fail_the_import(self):
        # None under the name is a blocked import; a non-module or a module
        # without the item has nothing to bind.
        for setup, message in [("sys.modules['Triad'] = None", "No module named Triad"),
                               ("sys.modules['Triad'] = 5",
                                "sys.modules['Triad'] is not a module"),
                               ("import Triad", "cannot import name Triad")]:
            out = self.run_script('Vector = 1\n', '''
                import sys
                %s
                for attempt in range(2):
                    try:
                        import VectorProbe
                        print('imported')
                    except ImportError as e:
                        print(e, 'VectorProbe' in sys.modules)
                ''' % setup)
            self.assertEqual(out.splitlines(), [message + " False"] * 2, setup)


if __name__ == '__main__':
    unittest.main()
