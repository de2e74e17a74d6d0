"""Script code that runs in the middle of a call (an entry's float
conversion, a bound vector class, a gc callback, a property read by a copy)
and frees or changes what the call is using. Each case runs in a child
interpreter, so that a fault shows as that child's crash rather than as the
end of this suite, and prints what the call did instead.
"""
import pickle
import struct
import subprocess
import sys
import textwrap
import unittest

import Crackrate
import Eightfold
import Ennead
import Hexad
import Triad

import rss
from dialect import PY3, python3_only, range_
from messages import MessageAssertions

CONSTANTS = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
             10000]


def run_child(test, *pieces):
    """Runs the script made of `pieces` (each indented as it likes) in a
    child interpreter with this one's module path and returns its printed
    lines; the child must exit normally."""
    script = '\n'.join(['from __future__ import print_function'] +
                       [textwrap.dedent(piece) for piece in pieces])
    proc = subprocess.Popen([sys.executable, '-B', '-c', script],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            universal_newlines=True)
    out, err = proc.communicate()
    test.assertEqual(proc.returncode, 0, 'child ended with %d:\n%s' % (proc.returncode, err))
    return out.splitlines()


class ConstantsChangedWhileReadTest(unittest.TestCase):
    """An entry of the constants whose float conversion empties the list of
    constants it belongs to."""

    SCRIPT = """
        import Crackrate
        CONSTANTS = %r
        L = []
        class Evil(object):
            def __float__(self):
                del L[:]
                return 1.0
        def fill():
            del L[:]
            L.extend([Evil()] + [float(c) for c in CONSTANTS[1:]])
        def report(call):
            fill()
            try:
                call()
                print('no error')
            except Exception as e:
                print('%%s: %%s' %% (type(e).__name__, e))
        report(lambda: Crackrate.Crackrate(L, 1))
        model = Crackrate.Crackrate(CONSTANTS, 1)
        before = model.__reduce__()
        report(lambda: model.__init__(L, 0))
        print(model.__reduce__() == before)
        report(lambda: Crackrate._rebuild(L, 1, (0.0, 0.0, 0.0)))
        # Growing the list is a change of size too.
        class Grow(object):
            def __float__(self):
                L.append(2.0)
                return 1.0
        del L[:]
        L.extend([Grow()] + [float(c) for c in CONSTANTS[1:]])
        try:
            Crackrate.Crackrate(L, 1)
        except RuntimeError as e:
            print('RuntimeError: %%s' %% e)
    """ % CONSTANTS

    def test_construction_fails_cleanly_and_keeps_the_old_model(self):
        message = 'RuntimeError: constants changed size while they were read'
        self.assertEqual(run_child(self, self.SCRIPT),
                         [message, message, 'True', message, message])


class ResultListsOutOfTheCollectorsSightTest(unittest.TestCase):
    """Result lists filled while script code runs: code walking
    gc.get_objects() there never meets an empty slot."""

    WALKER = """
        import gc
        walks = [0]
        def walk(*args):
            for obj in gc.get_objects():
                if type(obj) is list:
                    for item in obj:
                        pass
            walks[0] += 1
    """

    # The bound vector class is the script's own and walks the collector's
    # objects whenever a vector is built (both interpreters).
    VECTOR_CLASS = """
        import sys, types
        class Walking(tuple):
            def __new__(cls, x, y, z):
                walk()
                return tuple.__new__(cls, (x, y, z))
        module = types.ModuleType('Triad')
        module.Triad = Walking
        sys.modules['Triad'] = module
        import Eightfold, Hexad
    """

    CALLS = """
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.UniformRefine(0.25)
        cells = tree.GetLeafCells()
        print(len(cells), all(len(c) == 2 for c in cells))
        p, dirs = Hexad.Hexad(1, 2, 3, 0.5, 0.25, 0.125).PrincipalValues()
        print(len(dirs), all(len(tuple(d)) == 3 for d in dirs))
        print(walks[0] > 0)
    """

    def test_a_vector_class_that_walks_the_collector(self):
        self.assertEqual(run_child(self, self.WALKER, self.VECTOR_CLASS, self.CALLS),
                         ['64 True', '3 True', 'True'])

    @python3_only('gc.callbacks')
    def test_a_gc_callback_that_walks_the_collector(self):
        script = """
            import Eightfold, Hexad
            gc.callbacks.append(walk)
            gc.set_threshold(1, 1, 1)
        """
        self.assertEqual(run_child(self, self.WALKER, script, self.CALLS), ['64 True', '3 True', 'True'])


class SlotNamesChangedDuringCopyTest(unittest.TestCase):
    """A slot's property that empties the slot names the copy protocol
    caches on the class, while __reduce__ reads that very slot."""

    SCRIPT = """
        import copy, pickle
        import Crackrate, Ennead, Hexad, Triad
        CONSTANTS = %r
        for base, args in [(Triad.Triad, (1, 2, 3)), (Hexad.Hexad, tuple(range(6))),
                           (Ennead.Ennead, tuple(range(9))),
                           (Crackrate.Crackrate, (CONSTANTS, 1))]:
            class Sub(base):
                __slots__ = ('a',)
            class Evil(Sub):
                @property
                def a(self):
                    del type(self).__slotnames__[:]
                    # Strings made now take the memory of a freed name.
                    type(self).made = [''.join(['b']) for _ in range(100)]
                    return 'read'
            # Names of their own, held by nothing but the cached list.
            Evil.__slotnames__ = [''.join(['a'])]
            v = Evil(*args)
            state = v.__reduce__()[2]
            c = copy.copy(v)
            print(base.__name__, state, type(c).__name__)
    """ % CONSTANTS

    def test_the_state_holds_the_name_it_read(self):
        lines = run_child(self, self.SCRIPT)
        self.assertEqual(lines, ["%s (None, {'a': 'read'}) Evil" % name
                                 for name in ('Triad', 'Hexad', 'Ennead', 'Crackrate')])


def bits(x):
    return struct.unpack('<Q', struct.pack('<d', x))[0]


def from_bits(b):
    return struct.unpack('<d', struct.pack('<Q', b))[0]


# A NaN with its sign bit set and a payload of its own.
PAYLOAD_NAN = from_bits(0xfff8000000012345)


class ExactUnderEveryProtocolTest(MessageAssertions, unittest.TestCase):

    def values(self):
        yield Triad.Triad(PAYLOAD_NAN, -0.0, 5e-324), lambda v: list(v)
        yield Hexad.Hexad(PAYLOAD_NAN, 1, -0.0, float('inf'), 2, 3), lambda v: list(v)
        e = Ennead.Ennead(*range(9))
        e[1, 1] = PAYLOAD_NAN
        yield e, lambda v: [v[r, c] for r in range(3) for c in range(3)]

    def test_protocol_0_keeps_sign_and_payload_of_nans(self):
        if PY3:
            picklers = [pickle]
        else:
            import cPickle
            picklers = [pickle, cPickle]
        for v, read in self.values():
            for pickler in picklers:
                for protocol in range_(pickle.HIGHEST_PROTOCOL + 1):
                    c = pickler.loads(pickler.dumps(v, protocol))
                    self.assertIs(type(c), type(v))
                    self.assertEqual([bits(x) for x in read(c)], [bits(x) for x in read(v)],
                                     (type(v), protocol))

    def test_crackrate_constants_and_state_survive_protocol_0(self):
        constants = CONSTANTS + [PAYLOAD_NAN]
        m = Crackrate.Crackrate(constants, 1)
        m.Compute_Crackrate(20, 0.5, 1000000, 0.1)
        c = pickle.loads(pickle.dumps(m, 0))
        self.assertEqual(bits(c.Rso), bits(PAYLOAD_NAN))
        self.assertEqual([bits(x) for x in c.__reduce__()[1][2]],
                         [bits(x) for x in m.__reduce__()[1][2]])
        self.assertEqual(bits(c.Compute_Crackrate(10, 0.5001, 1000000, 0.1)),
                         bits(m.Compute_Crackrate(10, 0.5001, 1000000, 0.1)))

    def test_other_protocols_keep_the_tuple_form(self):
        v = Triad.Triad(1, 2, 3)
        self.assertEqual(v.__reduce_ex__(2), v.__reduce__())
        rebuild, (text,) = v.__reduce_ex__(0)
        self.assertIs(rebuild, Triad._rebuild)
        self.assertEqual(text, '3ff0000000000000' '4000000000000000' '4008000000000000')
        self.assertEqual(list(rebuild(text)), [1.0, 2.0, 3.0])

    def test_pickles_of_the_tuple_form_still_load(self):
        # A protocol 0 pickle as the modules wrote it before: floats as text.
        old = (b"cTriad\n_rebuild\np0\n((F1.5\nF-0.0\nFinf\ntp1\ntp2\nRp3\n.")
        v = pickle.loads(old)
        self.assertEqual([bits(x) for x in v], [bits(1.5), bits(-0.0), bits(float('inf'))])

    def test_a_subclass_reduce_of_its_own_is_used_at_every_protocol(self):
        for protocol in range_(pickle.HIGHEST_PROTOCOL + 1):
            v = OwnReduce(1, 2, 3)
            self.assertEqual(v.__reduce_ex__(protocol), (OwnReduce, (7, 8, 9)))
            self.assertEqual(list(pickle.loads(pickle.dumps(v, protocol))), [7, 8, 9])

    def test_rebuild_refuses_malformed_text(self):
        message = "_rebuild takes the components of a value and a subclass of its type"
        for text in ['3ff0' * 11, '3ff0' * 13, 'g' * 48, '3FF0000000000000' * 3, '']:
            self.assertFails(TypeError, message, lambda: Triad._rebuild(text))
        self.assertRaises(TypeError, Crackrate._rebuild, 'x' * 336, 1, '0' * 48)
        self.assertRaises(TypeError, Crackrate._rebuild, tuple(CONSTANTS), 1, '0' * 47)


class Slotted(Triad.Triad):
    __slots__ = ('a',)


class MemoryTest(unittest.TestCase):
    def test_mended_calls_do_not_grow(self):
        owner = []

        class Emptying(object):
            def __float__(self):
                del owner[:]
                return 1.0

        def changing():
            del owner[:]
            owner.extend([Emptying()] + [float(c) for c in CONSTANTS[1:]])
            try:
                Crackrate.Crackrate(owner, 1)
            except RuntimeError:
                pass
        model = Crackrate.Crackrate(CONSTANTS, 1)
        tree = Eightfold.Eightfold((0, 0, 0), 1.0)
        tree.UniformRefine(0.5)
        hexad = Hexad.Hexad(1, 2, 3, 0.5, 0.25, 0.125)
        slotted = Slotted(PAYLOAD_NAN, 2, 3)
        slotted.a = [1]
        text = Triad.Triad(1, 2, 3).__reduce_ex__(0)[1][0]
        ops = [changing, hexad.PrincipalValues, tree.GetLeafCells,
               lambda: pickle.loads(pickle.dumps(slotted, 0)),
               lambda: pickle.loads(pickle.dumps(model, 0)), lambda: Triad._rebuild(text),
               rss.calls(Triad._rebuild, 'g' * 48), lambda: Crackrate._rebuild(
                   tuple(CONSTANTS), 1, '0' * 48)]
        rss.assert_ops_no_growth(self, ops, 3000)


class OwnReduce(Triad.Triad):
    def __reduce__(self):
        return (OwnReduce, (7, 8, 9))


if __name__ == '__main__':
    unittest.main()
