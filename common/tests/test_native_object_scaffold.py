"""The native-object scaffold (common/native_object.h) that Crackrate,
Boxfinder and Eightfold share, tested once over the three: the type's two
shapes (a class scripts call and subclass, or the type of objects a module
function makes), the refusal of an object without a core, copies and pickles
through the module's rebuild function, subclass instances, deallocation and
reference counts. Each module's own suite keeps its state form, its answers
and its messages."""
import copy
import pickle
import sys
import unittest

import Boxfinder
import Crackrate
import Eightfold
import roundtrip
from dialect import PY3, python2_only, python3_only, type_name
from messages import MessageAssertions
from rss import assert_no_growth, calls

# Crackrate's reference material: UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q, DK1,
# Cthp, Cthm, Rcl, alfa, ratio, R, a0, np, damp (Rso left to its default).
MATERIAL = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
            10000]
ATTRIBUTES = ["UTS", "YS", "Kie", "Kic", "Ak", "Bk", "C", "n", "p", "q", "DK1", "Cthp", "Cthm",
              "Rcl", "alfa", "ratio", "R", "a0", "np", "damp", "Rso", "alphag", "Kc"]


class Info(object):
    """One module's row: how to make a sample object, what it answers, how
    to change it, and what of the scaffold's texts and shape is its own."""

    def __init__(self, module, make, answers, change, **own):
        self.module = module
        self.name = module.__name__
        self.make = make
        self.answers = answers
        self.change = change
        # methods: a factory type's method list under Python 2.7 (None for
        # a class type); no_core: a class type's (message, calls of an
        # object without a core); state_bytes: whether the state is one
        # bytes object read by the core's own load.
        self.methods = own.get('methods')
        self.no_core = own.get('no_core')
        self.state_bytes = own.get('state_bytes', False)
        # What refuses an attribute assignment under Python 2.7.
        self.python2_setattr = own.get('python2_setattr', AttributeError)


def crackrate_answers(obj):
    """The constants as attributes and the overload state the reduction carries."""
    return [getattr(obj, name) for name in ATTRIBUTES], obj.__reduce__()[1][2]


def crackrate_change(obj):
    obj.Compute_Crackrate(30, 0.5, 1000000, 0.0)
    obj.Compute_Crackrate(14, 0.5001, 1000000, 0.0)
    obj.SetKol()


def crackrate_no_core_calls(empty):
    return [
        (empty.Calc_Crackrate, (10, 0.5, 1)), (empty.CalcKeff, (10, 1)),
        (empty.Calc_DKth, (0.5, 0.1)), (empty.Paris, (1,)), (empty.CalcReff, (1, 0.1)),
        (empty.Setf, (0.1,)), (empty.dDKthbydReff, (0.5, 0.1)), (empty.SetKol, ()),
        (empty.Compute_Crackrate, (10, 0.5, 1, 0.1)), (empty.Crackrate, (10, 0.5, 1, 0.1)),
    ] + [(getattr, (empty, name)) for name in ATTRIBUTES]


def boxes():
    return Boxfinder.Boxfinder([(0, 0, 0), (1, 1, 1)], [(1, 1, 1), (2, 2, 2)], [7, 8])


def octree():
    tree = Eightfold.Eightfold((0, 0, 0), 1.0)
    tree.RefineToSize((0.1, 0.2, 0.3), 0.1)
    return tree


CRACKRATE = Info(
    Crackrate, lambda: Crackrate.Crackrate(MATERIAL, 1), crackrate_answers, crackrate_change,
    no_core=("Crackrate object has no model: construct it from its constants first",
             crackrate_no_core_calls))
BOXFINDER = Info(
    Boxfinder, boxes,
    lambda b: (b.PtQuery((1, 1, 1)), b.RangeQuery((0, 0, 0), (3, 3, 3))),
    lambda b: b.AddToTree((0.5, 0.5, 0.5), (2.5, 2.5, 2.5), 9),
    methods=['AddToTree', 'Nearest', 'NearestMany', 'PtQuery', 'PtQueryMany', 'RangeQuery',
             'RangeQueryMany', 'RemoveFromTree', '__reduce__'],
    state_bytes=True,
    # Python 2.7 readies the type only when something looks into it, and
    # before that refuses assignments with TypeError.
    python2_setattr=(AttributeError, TypeError))
EIGHTFOLD = Info(
    Eightfold, octree,
    lambda t: [(tuple(v), edge) for v, edge in t.GetLeafCells()],
    lambda t: t.RefineToSize((0.9, -0.1, 0.4), 0.05),
    methods=['ContainingCellSize', 'GetLeafCells', 'RefineOneLevelDiff', 'RefineToSize',
             'UniformRefine', '__reduce__'],
    state_bytes=True)


# Subclasses of the class type at the top level, so that pickle finds them.
class Labelled(Crackrate.Crackrate):
    """An initialisation that takes other arguments."""

    def __init__(self, label, material):
        Crackrate.Crackrate.__init__(self, material, 0)
        self.label = label


class Slotted(Crackrate.Crackrate):
    """Slots and an initialisation without arguments."""
    __slots__ = ('name', 'cycles', 'unset')

    def __init__(self):
        Crackrate.Crackrate.__init__(self, MATERIAL, 1)
        self.name = 'crack B'
        self.cycles = [0]


class SlottedWithAttributes(Slotted):
    """Slots of its base and an attribute dictionary of its own."""

    def __init__(self, *anything):
        Slotted.__init__(self)
        self.notes = anything


class Plain(Crackrate.Crackrate):
    pass


class ScaffoldCase(MessageAssertions):
    """The cases of every native object, mixed into one TestCase per module
    that sets `info`: copies, pickles, deallocation, reference counts."""

    def test_type_name_and_printed_form(self):
        t = type(self.info.make())
        self.assertEqual(t.__name__, self.info.name)
        self.assertEqual(repr(t), "<%s '%s'>" % ('class' if PY3 else 'type',
                                                  type_name(self.info.name, self.info.name)))

    def test_every_copy_answers_and_changes_as_the_original(self):
        roundtrip.assert_exact_copies(self, self.info.make, self.info.answers, self.info.change)

    def test_the_reduction_rebuilds_through_the_module_function(self):
        obj = self.info.make()
        reduced = obj.__reduce__()
        self.assertEqual(len(reduced), 2)
        self.assertIs(reduced[0], self.info.module._rebuild)
        self.assertEqual(self.info.module._rebuild.__module__, self.info.name)
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            self.assertIn(b'_rebuild', pickle.dumps(obj, protocol))
        # Deep copies and pickles of containers keep a shared object shared.
        for how, way in roundtrip.ways()[1:]:
            pair = way([obj, obj])
            self.assertIs(pair[0], pair[1], how)
            self.assertIsNot(pair[0], obj, how)
            self.assertEqual(self.info.answers(pair[0]), self.info.answers(obj), how)

    def test_reference_counts_stay_balanced(self):
        obj = self.info.make()
        t = type(obj)

        def churn():
            self.info.make()
            copy.copy(obj)
            copy.deepcopy(obj)
            obj.__reduce__()
            if self.info.methods is None:
                Plain(MATERIAL, 1)
                t.__new__(t)
        churn()  # warms whatever the first calls cache
        before = (sys.getrefcount(t), sys.getrefcount(obj), sys.getrefcount(Plain))
        for _ in range(300):
            churn()
        self.assertEqual((sys.getrefcount(t), sys.getrefcount(obj), sys.getrefcount(Plain)),
                         before)

    def test_no_growth_over_making_copying_and_dropping_objects(self):
        info = self.info
        obj = info.make()
        rebuild = info.module._rebuild
        reduced = obj.__reduce__()[1]
        ops = [info.make, lambda: copy.copy(obj), lambda: copy.deepcopy(obj),
               lambda: rebuild(*reduced), calls(rebuild, None), calls(rebuild)]
        ops += [lambda way=way: way(obj) for _, way in roundtrip.pickle_ways()]
        if info.state_bytes:
            ops.append(calls(rebuild, reduced[0][:-1]))
        else:
            cls = getattr(info.module, info.name)
            ops += [lambda: cls.__new__(cls), calls(copy.copy, cls.__new__(cls)),
                    lambda: copy.copy(Slotted()), lambda: pickle.dumps(Labelled('a', MATERIAL)),
                    calls(getattr(cls.__new__(cls), 'SetKol'))]

        def loop():
            for _ in range(200):
                for op in ops:
                    op()
        assert_no_growth(self, loop)


class FactoryTypeCases(MessageAssertions):
    """The type of objects a module function makes (Boxfinder, Eightfold)."""

    def test_a_factory_type_is_neither_callable_nor_subclassed_nor_in_the_module(self):
        obj = self.info.make()
        t = type(obj)
        self.assertRaises(TypeError, t)
        self.assertRaises(TypeError, t.__new__, t)
        self.assertRaises(TypeError, type, 'Sub', (t,), {})
        factory = getattr(self.info.module, self.info.name)
        self.assertIsNot(factory, t)
        self.assertFalse(isinstance(factory, type))

    def test_a_factory_types_methods_are_found_on_the_object_and_nothing_else_is(self):
        obj = self.info.make()
        before = self.info.answers(obj)
        names = [m for m in self.info.methods if not m.startswith('_')]
        for name in names:
            method = getattr(obj, name)
            self.assertEqual(method.__name__, name)
            self.assertIs(method.__self__, obj)
        self.assertLess(set(names), set(dir(obj)))
        self.assertFalse(hasattr(obj, '__dict__'))
        refusals = AttributeError if PY3 else self.info.python2_setattr
        self.assertRaises(refusals, setattr, obj, 'label', 1)
        self.assertRaises(refusals, setattr, obj, names[0], len)
        self.assertFails(AttributeError,
                         "'%s' object has no attribute 'NoSuchMethod'"
                         % type_name(self.info.name, self.info.name) if PY3 else 'NoSuchMethod',
                         getattr, obj, 'NoSuchMethod')
        self.assertEqual(self.info.answers(obj), before)

    @python2_only('the attribute slot of factory-made objects')
    def test_the_method_list_of_python_2(self):
        self.assertEqual(self.info.make().__methods__, self.info.methods)

    @python3_only('the generic attribute lookup')
    def test_methods_live_on_the_type_under_python_3(self):
        obj = self.info.make()
        for name in self.info.methods:
            method = vars(type(obj))[name].__get__(obj, type(obj))
            self.assertEqual(method.__name__, name)
            self.assertIs(method.__self__, obj)


class ClassTypeCases(MessageAssertions):
    """A class that scripts call and subclass (Crackrate)."""

    def test_a_class_type_is_called_and_subclassed(self):
        cls = getattr(self.info.module, self.info.name)
        self.assertIs(type(self.info.make()), cls)
        self.assertEqual(cls.__doc__, self.info.name + ' objects')
        sub = Plain(MATERIAL, 1)
        self.assertEqual(self.info.answers(sub), self.info.answers(self.info.make()))
        sub.label = 'kept'
        self.assertEqual(sub.label, 'kept')

    def test_an_object_without_a_core_refuses_everything_until_initialised(self):
        message, calls_of = self.info.no_core
        cls = getattr(self.info.module, self.info.name)
        for empty in (cls.__new__(cls), cls.__new__(Plain)):
            for fn, args in calls_of(empty):
                self.assertFails(ValueError, message, fn, *args)
            for copier in [empty.__reduce__, lambda: copy.copy(empty),
                           lambda: copy.deepcopy(empty)]:
                self.assertRaises(ValueError, copier)
            for _, way in roundtrip.pickle_ways():
                self.assertRaises(ValueError, way, empty)
            # A failed initialisation does not give it one either.
            self.assertRaises(TypeError, empty.__init__, range(19), 1)
            self.assertFails(ValueError, message, getattr, empty, 'R')
            empty.__init__(MATERIAL, 1)
            self.assertEqual(self.info.answers(empty), self.info.answers(self.info.make()))

    # --- copies and pickles -----------------------------------------------------

    def test_subclass_instances_keep_class_attributes_and_slots_every_way(self):
        labelled = Labelled('crack A', MATERIAL)
        labelled.extra = {'inspections': [1, 2]}
        slotted = Slotted()
        both = SlottedWithAttributes(1, 2, 3)
        both.cycles = 12345
        for obj in (labelled, slotted, both):
            self.info.change(obj)
        for how, way in roundtrip.ways():
            duplicate = way(labelled)
            self.assertIs(type(duplicate), Labelled, how)
            self.assertEqual((duplicate.label, duplicate.extra),
                             ('crack A', {'inspections': [1, 2]}), how)
            self.assertEqual(self.info.answers(duplicate), self.info.answers(labelled), how)
            # A copy goes on as the original would.
            twin = copy.copy(labelled)
            for obj in (duplicate, twin):
                self.info.change(obj)
            self.assertEqual(self.info.answers(duplicate), self.info.answers(twin), how)
            duplicate = way(slotted)
            self.assertIs(type(duplicate), Slotted, how)
            self.assertEqual((duplicate.name, duplicate.cycles), ('crack B', [0]), how)
            self.assertRaises(AttributeError, getattr, duplicate, 'unset')
            self.assertFalse(hasattr(duplicate, '__dict__'), how)
            self.assertEqual(self.info.answers(duplicate), self.info.answers(slotted), how)
            duplicate = way(both)
            self.assertIs(type(duplicate), SlottedWithAttributes, how)
            self.assertEqual((duplicate.name, duplicate.cycles, duplicate.notes),
                             ('crack B', 12345, (1, 2, 3)), how)
        # A deep copy copies the attributes; a shallow one shares them.
        self.assertIsNot(copy.deepcopy(labelled).extra, labelled.extra)
        self.assertIs(copy.copy(labelled).extra, labelled.extra)
        # The reduction carries the subclass, and state only when there is some.
        self.assertEqual(Slotted().__reduce__()[1][-1], Slotted)
        self.assertEqual(len(Plain(MATERIAL, 1).__reduce__()), 2)


class BytesStateCases(MessageAssertions):
    """A state written and read as one bytes object by the core's own save
    and load (Boxfinder, Eightfold)."""

    def test_a_state_of_bytes_is_refused_when_it_is_no_bytes(self):
        rebuild = self.info.module._rebuild
        state = self.info.make().__reduce__()[1][0]
        self.assertIs(type(state), bytes)
        message = "_rebuild takes the bytes of a pickled %s object" % self.info.name
        for wrong in (None, 5, u'text', [state], bytearray(state)):
            self.assertFails(TypeError, message, rebuild, wrong)
        self.assertRaises(TypeError, rebuild)
        self.assertRaises(TypeError, rebuild, state, state)
        with self.assertRaises(ValueError) as caught:
            rebuild(state[:-1])
        self.assertTrue(str(caught.exception).startswith('invalid %s state: ' % self.info.name))
        self.assertEqual(self.info.answers(rebuild(state)), self.info.answers(self.info.make()))


class CrackrateScaffold(ScaffoldCase, ClassTypeCases, unittest.TestCase):
    info = CRACKRATE


class BoxfinderScaffold(ScaffoldCase, FactoryTypeCases, BytesStateCases, unittest.TestCase):
    info = BOXFINDER


class EightfoldScaffold(ScaffoldCase, FactoryTypeCases, BytesStateCases, unittest.TestCase):
    info = EIGHTFOLD


if __name__ == '__main__':
    unittest.main()
