"""Copies and pickles of the value types (Triad, Hexad, Ennead), and the
cases every one of them must pass.

Every way of copying is tried: copy.copy, copy.deepcopy, and each pickle
protocol of each pickle module of the interpreter (cPickle too under Python
2.7, the pure-Python pickler too under Python 3)."""
import copy
import pickle
import struct

from dialect import PY3

if PY3:
    PICKLERS = (pickle,)
else:
    import cPickle  # noqa: F401 (Python 2.7 only)
    PICKLERS = (pickle, cPickle)


def ways():
    """(name, function) pairs: each function returns a copy of its argument
    made one way."""
    result = [('copy.copy', copy.copy), ('copy.deepcopy', copy.deepcopy)]
    for module in PICKLERS:
        for protocol in range(module.HIGHEST_PROTOCOL + 1):
            result.append(('%s protocol %d' % (module.__name__, protocol),
                           lambda v, m=module, p=protocol: m.loads(m.dumps(v, p))))
    if PY3:
        # The interpreter's pure-Python pickler, besides its native one.
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            result.append(('pure pickle protocol %d' % protocol,
                           lambda v, p=protocol: pickle._loads(pickle._dumps(v, p))))
    return result


def assert_exact_copies(test, make, answers, change):
    """Checks every way of copying a tree object that make() returns: the
    copy is of the same type and carries the same state (its __reduce__),
    answers(copy) equals answers(original), and after change() on both the
    answers and the states still agree."""
    for name, way in ways():
        original = make()
        duplicate = way(original)
        test.assertIs(type(duplicate), type(original), name)
        test.assertEqual(duplicate.__reduce__(), original.__reduce__(), name)
        test.assertEqual(answers(duplicate), answers(original), name)
        change(original)
        change(duplicate)
        test.assertEqual(answers(duplicate), answers(original), name)
        test.assertEqual(duplicate.__reduce__(), original.__reduce__(), name)


def assert_damaged_states_handled(test, rebuild, state, answers, prefix):
    """Feeds a tree module's rebuild function damaged forms of a valid
    state: every truncation must raise ValueError with a message starting
    with `prefix`; a state with one byte changed must either raise that or
    give a tree that answers (answers(tree)) and saves its state unchanged
    again; arguments that are not bytes raise TypeError."""
    step = max(1, len(state) // 200)
    for n in list(range(0, len(state), step)) + [len(state) - 1]:
        with test.assertRaises(ValueError) as caught:
            rebuild(state[:n])
        test.assertTrue(str(caught.exception).startswith(prefix), str(caught.exception))
    for at in range(0, len(state), step):
        for flip in (0x01, 0x80, 0xff):
            damaged = bytearray(state)
            damaged[at] ^= flip
            try:
                tree = rebuild(bytes(damaged))
            except ValueError as e:
                test.assertTrue(str(e).startswith(prefix), str(e))
                continue
            answers(tree)
            test.assertEqual(tree.__reduce__()[1][0], bytes(damaged))
    for wrong in (None, 5, u'text', [state]):
        test.assertRaises(TypeError, rebuild, wrong)
    test.assertRaises(TypeError, rebuild)
    test.assertRaises(TypeError, rebuild, state, state)


def pickle_ways():
    return [(name, way) for name, way in ways() if not name.startswith('copy.')]


def bits(values):
    """The IEEE bit patterns of floats: -0.0 differs from 0.0, NaNs compare."""
    return [struct.pack('<d', v) for v in values]


# Components with a signed zero, both infinities and a NaN, which copies
# must keep bit for bit; SAMPLE[:n] for a value of n components.
SAMPLE = [-0.0, float('inf'), float('nan'), 1.0 / 3, -2.5e-300, 1e300, float('-inf'), 0.0,
          5e-324]


class CopyCases(object):
    """The copy and pickle cases of a value type, mixed into a TestCase
    that sets:
      module, cls, size: the module, its type and its component count;
      read(v): the components of a value as a list;
      Sub, Slotted, Mixed, Labelled: subclasses of cls defined at the top
        level of the suite (pickle finds classes by their module and name):
        plain; with __slots__ = ('a', 'b'); with __slots__ = ('a',
        '__dict__'); with an __init__(self, label) that stores the label
        as an attribute, counts its calls in Labelled.inits and sets the
        components to 1, 2, ...; Stateful, whose __getstate__ returns
        {'kept': 'by getstate'} and whose __setstate__ stores what it is
        given as the attribute `restored`."""

    def sample(self):
        return SAMPLE[:self.size]

    def make(self, cls):
        """An instance of cls (a subclass of the type with the type's own
        initialisation) holding the sample components."""
        v = cls.__new__(cls)
        self.cls.__init__(v, *self.sample())
        return v

    def assertSameValue(self, got, want, how):
        self.assertIs(type(got), type(want), how)
        self.assertIsNot(got, want, how)
        self.assertEqual(bits(self.read(got)), bits(self.read(want)), how)

    def test_values_round_trip_bit_for_bit_every_way(self):
        v = self.make(self.cls)
        for how, way in ways():
            self.assertSameValue(way(v), v, how)
        for how, way in ways()[1:]:
            # Deep copies and pickles of containers keep shared values shared.
            pair = way([v, v])
            self.assertIs(pair[0], pair[1], how)
            self.assertSameValue(pair[0], v, how)

    def test_copies_are_independent(self):
        v = self.make(self.cls)
        for how, way in ways():
            c = way(v)
            self.cls.__init__(c, *range(self.size))
            self.assertEqual(bits(self.read(v)), bits(self.sample()), how)

    def test_reduce_rebuilds_through_the_module_function(self):
        v = self.make(self.cls)
        rebuild, args = v.__reduce__()
        self.assertIs(rebuild, self.module._rebuild)
        self.assertEqual(len(args), 1)
        self.assertIs(type(args[0]), tuple)
        self.assertEqual(bits(args[0]), bits(self.sample()))
        self.assertEqual(self.module._rebuild.__module__, self.module.__name__)
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            self.assertIn(b'_rebuild', pickle.dumps(v, protocol))

    def test_reduce_of_subclass_instances_carries_class_and_state(self):
        plain = self.make(self.Sub)
        reduced = plain.__reduce__()
        self.assertEqual(len(reduced), 2)
        self.assertIs(reduced[0], self.module._rebuild)
        self.assertEqual(len(reduced[1]), 2)
        self.assertEqual(bits(reduced[1][0]), bits(self.sample()))
        self.assertIs(reduced[1][1], self.Sub)
        plain.label = 'x'
        self.assertEqual(plain.__reduce__()[2], {'label': 'x'})
        slotted = self.make(self.Slotted)
        self.assertEqual(len(slotted.__reduce__()), 2)
        slotted.b = 7
        self.assertEqual(slotted.__reduce__()[2], (None, {'b': 7}))
        mixed = self.make(self.Mixed)
        mixed.a, mixed.c = 1, 2
        self.assertEqual(mixed.__reduce__()[2], ({'c': 2}, {'a': 1}))

    def test_subclass_instances_keep_class_attributes_and_slots(self):
        plain = self.make(self.Sub)
        plain.label = ['node', 7]
        slotted = self.make(self.Slotted)
        slotted.a = ('set', 1)  # b is left unset
        unset = self.make(self.Slotted)
        mixed = self.make(self.Mixed)
        mixed.a, mixed.extra = 2.5, {'k': [1]}
        looped = self.make(self.Slotted)
        looped.a = [looped]
        for how, way in ways():
            c = way(looped)
            self.assertSameValue(c, looped, how)
            self.assertIs(c.a[0], looped if how == 'copy.copy' else c, how)
            c = way(plain)
            self.assertSameValue(c, plain, how)
            self.assertEqual(c.label, ['node', 7], how)
            if how == 'copy.copy':
                self.assertIs(c.label, plain.label)
            else:
                self.assertIsNot(c.label, plain.label, how)
            c = way(slotted)
            self.assertSameValue(c, slotted, how)
            self.assertEqual(c.a, ('set', 1), how)
            self.assertFalse(hasattr(c, 'b'), how)
            c = way(unset)
            self.assertSameValue(c, unset, how)
            self.assertFalse(hasattr(c, 'a') or hasattr(c, 'b'), how)
            c = way(mixed)
            self.assertSameValue(c, mixed, how)
            self.assertEqual((c.a, c.extra), (2.5, {'k': [1]}), how)

    def test_subclass_state_methods_of_their_own_are_used(self):
        v = self.make(self.Stateful)
        v.scratch = 'left out by __getstate__'
        for how, way in ways():
            c = way(v)
            self.assertSameValue(c, v, how)
            self.assertEqual(c.__dict__, {'restored': {'kept': 'by getstate'}}, how)

        # Its failure is the copy's failure.
        def failing():
            raise ValueError('no state')
        own = self.Stateful.__dict__['__getstate__']
        self.Stateful.__getstate__ = staticmethod(failing)
        try:
            self.assertRaises(ValueError, v.__reduce__)
            self.assertRaises(ValueError, copy.copy, v)
        finally:
            self.Stateful.__getstate__ = own

    def test_subclass_initialisation_is_not_run(self):
        v = self.Labelled('strain gauge 3')
        self.cls.__init__(v, *self.sample())
        before = self.Labelled.inits
        for how, way in ways():
            c = way(v)
            self.assertSameValue(c, v, how)
            self.assertEqual(c.label, 'strain gauge 3', how)
        self.assertEqual(self.Labelled.inits, before)

    def test_rebuild_refuses_bad_input(self):
        rebuild = self.module._rebuild
        n = self.size
        good = tuple(float(i) for i in range(n))
        v = rebuild(good)
        self.assertIs(type(v), self.cls)
        self.assertEqual(self.read(v), list(good))
        s = rebuild(good, self.Labelled)
        self.assertIs(type(s), self.Labelled)
        self.assertEqual(self.read(s), list(good))
        self.assertFalse(hasattr(s, 'label'))
        message = "_rebuild takes the components of a value and a subclass of its type"
        for args in [(good[:-1],), (good + (1.0,),), ((),), (good, 5), (good, 'Sub'),
                     (good, int), (good, float), (good, object), (good, type(self))]:
            with self.assertRaises(TypeError) as cm:
                rebuild(*args)
            self.assertEqual(str(cm.exception), message, args)
        for args in [(), (list(good),), (good, self.Sub, None), (('a',) + good[1:],),
                     ((None,) * n,), (None,)]:
            self.assertRaises(TypeError, rebuild, *args)
