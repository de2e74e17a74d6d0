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

import VectorProbe
from Triad import Triad as T
from rss import assert_no_growth, calls

PROBE_DIR = os.path.dirname(VectorProbe.__file__)


class SubTriad(T):
    pass


class TypeBindingTest(unittest.TestCase):
    def test_reads_any_three_item_sequence(self):
        for v in [T(1, 2, 3), (1, 2, 3), [1.0, 2, 3L], SubTriad(1, 2, 3), xrange(1, 4)]:
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

    def test_unreadable_vectors_raise(self):
        for bad in [(1, 2), [], 5, None, {0: 1, 1: 2, 2: 3, 3: 4}, (1, 'a', 3), (1, None, 3),
                    (1, 2, 1j)]:
            self.assertRaises((TypeError, IndexError, KeyError), VectorProbe.Read, bad)

    def test_build_makes_the_bound_type(self):
        v = VectorProbe.Build(1, 2, 3)
        self.assertIs(type(v), T)
        self.assertEqual(list(v), [1.0, 2.0, 3.0])

    def test_no_growth(self):
        ops = [lambda: VectorProbe.Read(T(1, 2, 3)), lambda: VectorProbe.Read((1, 2.0, 3L)),
               lambda: VectorProbe.Build(1, 2, 3), calls(VectorProbe.Read, (1, 'a', 3)),
               calls(VectorProbe.Read, (1, 2))]

        def loop():
            for _ in range(30000):
                for op in ops:
                    op()
        assert_no_growth(self, loop)


class OtherBindingsTest(unittest.TestCase):
    """Each case runs in a fresh interpreter with its own vector module."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        os.symlink(os.path.join(PROBE_DIR, 'VectorProbe.so'),
                   os.path.join(self.dir, 'VectorProbe.so'))

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
        self.assertEqual(proc.returncode, 0, err)
        return out.strip()

    # show(call): prints what the call returns, or the exception it raises.
    PRELUDE = textwrap.dedent('''
        def show(call):
            try:
                print call()
            except Exception as e:
                print '%s: %s' % (type(e).__name__, e)
        ''')

    OLD_STYLE = '''
        class Triad:
            def __init__(self, x, y, z):
                self.c = [x, y, z]
            def __getitem__(self, i):
                return self.c[i]
        '''

    def test_old_style_class(self):
        out = self.run_script(self.OLD_STYLE, '''
            import VectorProbe, Triad
            show(lambda: VectorProbe.Read((1, 2, 3)))
            class Sub(Triad.Triad):
                pass
            print VectorProbe.Read(Triad.Triad(1, 2, 3)), VectorProbe.Read(Sub(4, 5.5, 6))
            v = VectorProbe.Build(7, 8, 9)
            print isinstance(v, Triad.Triad), v.c
            ''')
        self.assertEqual(out.splitlines(), ["TypeError: argument should be a Triad",
                                            "(1.0, 2.0, 3.0) (4.0, 5.5, 6.0)",
                                            "True [7.0, 8.0, 9.0]"])

    def test_binding_outlives_the_module_attribute(self):
        out = self.run_script(self.OLD_STYLE, '''
            import gc, sys, VectorProbe, Triad
            del Triad.Triad
            del sys.modules['Triad'], Triad
            gc.collect()
            print VectorProbe.Build(1, 2, 3).c
            ''')
        self.assertEqual(out, "[1.0, 2.0, 3.0]")

    def test_built_in_function(self):
        out = self.run_script('Triad = max\n', '''
            import VectorProbe
            show(lambda: VectorProbe.Build(1, 2, 3))
            VectorProbe.Bind(1)
            print VectorProbe.Build(1, 5, 3), VectorProbe.Read((1, 2, 3))
            import Triad
            Triad.Triad = min  # the binding holds what it found at start-up
            print VectorProbe.Build(1, 5, 3)
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
        os.symlink(os.path.join(PROBE_DIR, 'Triad.so'), os.path.join(self.dir, 'Triad.so'))
        out = self.run_script(None, '''
            import sys
            assert 'Triad' not in sys.modules
            import VectorProbe
            print 'Triad' in sys.modules, type(VectorProbe.Build(1, 2, 3)).__name__
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
            print type(v) is Triad.Triad, v.x, v.y, v.z, VectorProbe.Read(v)
            Triad.Triad = Triad.Pair
            VectorProbe.Bind()
            v = VectorProbe.Build(1, 2, 3)
            print type(v).__name__, v
            ''')
        self.assertEqual(out.splitlines(), ["True 1.0 2.0 3.0 (1.0, 2.0, 3.0)",
                                            "Pair (3.0, 2.0, 1.0)"])

    def test_failed_import_fails_again_until_triad_can_be_imported(self):
        out = self.run_script(None, '''
            import os, sys
            for attempt in range(2):
                try:
                    import VectorProbe
                except ImportError as e:
                    print e, 'VectorProbe' in sys.modules
            with open(os.path.join(os.environ['PYTHONPATH'], 'Triad.py'), 'w') as f:
                f.write('import collections\\n'
                        'Triad = collections.namedtuple("Triad", "x y z")\\n')
            import VectorProbe
            print VectorProbe.Read([1, 2, 3]), VectorProbe.Build(1, 2, 3)
            ''')
        self.assertEqual(out.splitlines(), ["No module named Triad False"] * 2 +
                         ["(1.0, 2.0, 3.0) Triad(x=1.0, y=2.0, z=3.0)"])

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
                        print 'imported'
                    except ImportError as e:
                        print e, 'VectorProbe' in sys.modules
                ''' % setup)
            self.assertEqual(out.splitlines(), [message + " False"] * 2, setup)


if __name__ == '__main__':
    unittest.main()
