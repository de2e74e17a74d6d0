"""Seeded random-argument fuzzer over every Python entry point of every built
module: module functions, methods, slot wrappers called directly, operators
in both orders and in place, item access and slices, constructors,
__new__ without __init__, copies, pickles and printed forms, with arguments
drawn from a pool of hostile values (among them items that change the
sequence they belong to while it is read, slot properties that change the
slot names a copy reads, and collector runs that walk every list and tuple
in the middle of a call). It runs under Python 2.7 and Python 3 alike, each
against the modules built for it.

Every call must return or raise an ordinary exception: never crash the
interpreter (or trip a sanitizer, in the sanitizer build), never raise
SystemError, and a call that raises must leave its receiver as it was
(compared bit for bit, so NaNs and signed zeros count); a copy or pickle
that succeeds must give an object of the same class in the same state, and
the types that refuse pickling must refuse it with TypeError. The trees'
rebuild functions are also fed damaged saved states, which they must refuse
with ValueError or load into a tree that works and saves them unchanged.

    python2.7 fuzz_modules.py [--seconds N] [--seed S] [--calls N] [--verbose]
    python3 fuzz_modules.py ...   (with the Python 3 modules on the path)

The same seed gives the same calls in the same order; --verbose prints each
call before it is made, so the last line before a crash names it. Modules
that do not import are skipped (those still being built join by themselves).
"""
from __future__ import print_function

import argparse
import array
import copy
import gc
import operator
import os
import pickle
import random
import struct
import sys
import time
from decimal import Decimal

PY3 = sys.version_info[0] >= 3
if PY3:
    long = int  # Python 3 has one int type
    xrange = range
    PICKLERS = [('pickle', pickle.dumps, pickle.loads),
                ('pure pickle', pickle._dumps, pickle._loads)]
else:
    import cPickle
    PICKLERS = [('pickle', pickle.dumps, pickle.loads),
                ('cPickle', cPickle.dumps, cPickle.loads)]

NAN = float('nan')
INF = float('inf')
# The largest C long: a plain int's largest value under Python 2.7.
MAXINT = getattr(sys, 'maxint', 2 ** 63 - 1)


class Finding(Exception):
    """A fault the fuzzer found."""


# ----- the hostile pool ---------------------------------------------------

class Hooks(object):
    """Where hostile objects reach back into the call under way: the
    receiver (for objects that change it while being read) and whether that
    happened (the unchanged-on-failure check does not apply then)."""
    receiver = None
    entry = None
    reentered = False
    depth = 0


def reenter():
    """Calls an entry point of the current receiver from inside a call."""
    if Hooks.receiver is None or Hooks.entry is None or Hooks.depth > 0:
        return
    Hooks.reentered = True
    Hooks.depth += 1
    try:
        Hooks.entry(Hooks.receiver)
    except Exception:
        pass
    finally:
        Hooks.depth -= 1


class RaisingFloat(object):
    def __float__(self):
        raise ValueError('no float')

    def __int__(self):
        raise ValueError('no int')


class LyingFloat(object):
    """A float conversion that returns the wrong type, then raises."""
    def __float__(self):
        return 'not a float'

    def __int__(self):
        return 'not an int'

    def __index__(self):
        return 2 ** 70


class RaisingIndex(object):
    def __index__(self):
        raise OverflowError('no index')


class LyingLength(object):
    """Claims three items, has none."""
    def __len__(self):
        return 3

    def __getitem__(self, i):
        raise IndexError(i)


class NegativeLength(object):
    def __len__(self):
        return -1

    def __getitem__(self, i):
        return 1.0


class HugeLength(object):
    def __len__(self):
        return sys.maxsize

    def __getitem__(self, i):
        if i > 5:
            raise IndexError(i)
        return 1.0


class RaisingItem(object):
    def __len__(self):
        return 3

    def __getitem__(self, i):
        if i == 2:
            raise RuntimeError('item 2')
        return 1.0


class Reentrant(object):
    """A three-item sequence and number that changes the receiver while it
    is being read."""
    def __len__(self):
        reenter()
        return 3

    def __getitem__(self, i):
        reenter()
        if i > 2:
            raise IndexError(i)
        return 0.25 * i

    def __float__(self):
        reenter()
        return 0.5

    def __iter__(self):
        for i in range(3):
            yield self[i]


class ShrinkingList(list):
    """A list that loses items while it is being read."""
    def __getitem__(self, i):
        if len(self) > 1:
            self.pop()
        return list.__getitem__(self, i)


class GrowingList(list):
    def __getitem__(self, i):
        if len(self) < 100:
            self.append((1, 2, 3))
        return list.__getitem__(self, i)


class ChangingItem(object):
    """An item whose conversions (float, index, length, items) change the
    list it belongs to while the call reads that list: emptied, shortened,
    grown or refilled."""
    def __init__(self, owner, how, value):
        self.owner, self.how, self.value = owner, how, value

    def change(self):
        if self.how == 'clear':
            del self.owner[:]
        elif self.how == 'pop' and self.owner:
            self.owner.pop()
        elif self.how == 'append' and len(self.owner) < 100:
            self.owner.append(1.0)
        elif self.how == 'refill':
            self.owner[:] = [2.0] * len(self.owner)

    def __float__(self):
        self.change()
        return float(self.value)

    def __int__(self):
        self.change()
        return 1

    def __index__(self):
        self.change()
        return 1

    def __len__(self):
        self.change()
        return 3

    def __getitem__(self, i):
        self.change()
        if i > 2:
            raise IndexError(i)
        return self.value


def changing_sequence(rng, depth):
    """A list (of numbers or of triples) some of whose items change it while
    they are read."""
    n = rng.choice([3, 6, 9, 20, 21, 40])
    owner = []
    for _ in range(n):
        if rng.random() < 0.3:
            owner.append(ChangingItem(owner, rng.choice(['clear', 'pop', 'append', 'refill']),
                                      number(rng)))
        elif rng.random() < 0.5:
            owner.append(triple(rng, depth + 1))
        else:
            owner.append(number(rng))
    return owner


class FloatSub(float):
    pass


class IntSub(int):
    pass


class LyingIntSub(int):
    def __float__(self):
        raise ValueError('int subclass without float')


class TupleSub(tuple):
    pass


class ListSub(list):
    pass


class OldStyle:
    def __init__(self, items=(1.0, 2.0, 3.0)):
        self.items = list(items)

    def __getitem__(self, i):
        return self.items[i]

    def __len__(self):
        return len(self.items)

    def __float__(self):
        return 1.5


class OldStyleRaising:
    def __getitem__(self, i):
        raise KeyError(i)

    def __float__(self):
        raise ArithmeticError('old-style float')


NUMBERS = [0, 1, -1, 2, 3, 5, 6, 8, 9, 21, -3, MAXINT, -MAXINT - 1, 2 ** 31,
           -2 ** 31 - 1, 2 ** 63, -2 ** 63 - 1, 10 ** 30, long(0), long(3), True, False,
           2 ** 53 + 1, -2 ** 100, 2 ** 1023 * 3, 10 ** 400, -10 ** 400,
           0.0, -0.0, 0.5, 1.0, 0.1, 0.25, 2.0 ** -5, 1e-300, 5e-324, 1e300,
           1.7976931348623157e308, -1e300, NAN, INF, -INF, -0.5]


def number(rng):
    n = rng.choice(NUMBERS)
    roll = rng.random()
    if roll < 0.05 and not (isinstance(n, (int, long)) and abs(n) > 1e308):
        return FloatSub(n)
    if roll < 0.08 and isinstance(n, int) and not isinstance(n, bool):
        return IntSub(n)
    return n


def triple(rng, depth):
    kind = rng.randrange(6)
    items = [number(rng) if rng.random() < 0.85 else hostile(rng, depth + 1)
             for _ in range(3)]
    if kind == 0:
        return tuple(items)
    if kind == 1:
        return items
    if kind == 2:
        return TupleSub(items)
    if kind == 3:
        return OldStyle(items)
    if kind == 4 and 'Triad' in LOADED:
        try:
            return LOADED['Triad'].Triad(*[float(x) for x in items])
        except Exception:
            return tuple(items)
    return ListSub(items)


def sequence_of(rng, depth, make):
    n = rng.choice([0, 1, 2, 3, 5, 20, 200])
    items = [make(rng, depth + 1) for _ in range(n)]
    kind = rng.randrange(5)
    if kind == 0:
        return tuple(items)
    if kind == 1:
        return ShrinkingList(items)
    if kind == 2:
        return GrowingList(items)
    if kind == 3:
        return (x for x in items)
    return items


def hostile(rng, depth=0):
    """One argument: mostly plausible, often odd, sometimes malicious."""
    if depth > 2:
        return number(rng)
    roll = rng.randrange(30)
    if roll < 8:
        return number(rng)
    if roll < 13:
        return triple(rng, depth)
    if roll < 15:
        return sequence_of(rng, depth, triple)
    if roll < 16:
        return sequence_of(rng, depth, lambda r, d: number(r))
    if roll < 17:
        if rng.random() < 0.5:
            return changing_sequence(rng, depth)
        return [number(rng) for _ in range(rng.choice([19, 20, 21, 22]))]
    others = [None, 'a', '', 'xyz' * 50, u'\u1234\u5678', 1j, Decimal('2.5'),
              Decimal('nan'), (), (1,), (1, 2), (1, 2, 3, 4), [[1, 2, 3]], {0: 1, 1: 2, 2: 3},
              xrange(3), xrange(10 ** 6), object(), type, len, RaisingFloat(), LyingFloat(),
              RaisingIndex(), LyingLength(), NegativeLength(), HugeLength(), RaisingItem(),
              Reentrant(), LyingIntSub(4), OldStyle(), OldStyle([]), OldStyleRaising(),
              iter([1, 2, 3]), set([1, 2, 3]), (0.0, 0.0, 0.0), (1.0,) * 21, (1,) * 20,
              tuple(range(9)), array.array('d', [1.0, 2.0, 3.0] * 3), array.array('d'),
              array.array('i', [1, 2, 3]), bytearray(24), memoryview(b'x' * 24)]
    if roll >= 26:
        # Keys of item access: slices of every kind (Ennead reads t[r:c]
        # through them under Python 3), index tuples.
        others = SLICES + [(0, 1), (2, 2), (1,), (0, 1, 2), (-1, 0), (3, 0), (0.5, 1),
                           (2 ** 70, 0), (RaisingIndex(), 1)]
    value = rng.choice(others)
    if roll >= 28 and LOADED:
        # An instance of one of the modules' own types, or a type itself.
        if TYPE_SAMPLES:
            cls, make = rng.choice(TYPE_SAMPLES)
            value = make(rng) if rng.random() < 0.7 else cls
    return value


SLICES = [slice(0, 1), slice(2, 1), slice(None, 2), slice(1, None), slice(None),
          slice(0, 1, None), slice(0, 1, 1), slice(0, 1, -1), slice(-1, 2), slice(-5, 9),
          slice(2 ** 70, 1), slice(0, -2 ** 70), slice('a', 1), slice(0.5, 1),
          slice(RaisingIndex(), 1), slice(1, LyingFloat()), slice(True, False)]


# ----- code that walks the collector's objects in the middle of a call ------

def walk_collected(*args):
    """Reads every list the collector knows of, item by item, as a debugging
    or profiling hook might: an empty slot in a half-made result list would
    crash it. (Not tuples: the interpreter's own tuple building leaves
    empty slots there while it runs generators.)"""
    for obj in gc.get_objects():
        if type(obj) is list:
            for item in obj:
                pass


class Trash(object):
    pass


class GcWalker(object):
    """While armed, the collector runs at nearly every allocation of a
    collected object, and each run walks the collector's objects: through
    gc.callbacks under Python 3, and under both through the callbacks of
    weak references to cyclic trash, which run when the collector frees it."""
    def __init__(self):
        self.thresholds = None
        self.refs = []

    def arm(self):
        import weakref
        self.thresholds = gc.get_threshold()
        for _ in range(4):
            trash = Trash()
            trash.self = trash
            self.refs.append(weakref.ref(trash, walk_collected))
        if PY3:
            gc.callbacks.append(walk_collected)
        gc.set_threshold(1, 1, 1)

    def disarm(self):
        if self.thresholds is None:
            return
        gc.set_threshold(*self.thresholds)
        self.thresholds = None
        if PY3 and walk_collected in gc.callbacks:
            gc.callbacks.remove(walk_collected)
        gc.collect()
        del self.refs[:]


GC_WALKER = GcWalker()


# ----- per-module tables -------------------------------------------------

LOADED = {}
TYPE_SAMPLES = []


def bits(x):
    """Bit pattern of a float (NaN payloads and signed zeros included)."""
    return struct.pack('<d', x)


def freeze(value):
    """A comparable image of a state value: floats by their bits."""
    if isinstance(value, float):
        return ('f', bits(value))
    if isinstance(value, (list, tuple)):
        return tuple(freeze(v) for v in value)
    return value


class Table(object):
    """How to fuzz one module: receivers (fresh objects to call methods on,
    or none for a module of functions), their state, their entry points, and
    argument counts worth favouring."""

    def __init__(self, module, make=None, state=None, arity=None, guard=None,
                 picklable=True, extra=None):
        self.module = module
        # extra(rng) -> [(name, entry)]: entry points of the module's own
        # beyond its methods and functions with random arguments.
        self.extra = extra
        self.make = make
        self.state = state
        # Whether the receivers pickle; those that do not must refuse with
        # TypeError.
        self.picklable = picklable
        self.arity = arity or {}
        # guard(name, args) -> args: keeps arguments that are valid but
        # would need more memory or time than a fuzz run has.
        self.guard = guard or (lambda name, args: args)


# ----- batch functions ----------------------------------------------------

# Views of values and batch results, held across calls: later calls read
# them as batches, write into them as out=, and change or drop the values
# they view.
HELD = []


def hold(obj):
    HELD.append(obj)
    if len(HELD) > 40:
        del HELD[:10]


def batch_buffer(rng):
    """Something a batch function reads rows from or writes into: buffers of
    every shape and format (contiguous or not, writable or not), value
    types, held views and results, array.array, sequences of rows."""
    rows = rng.choice([0, 1, 2, 5, 64])
    width = rng.choice([1, 3, 6, 9])
    count = rows * width
    roll = rng.randrange(10)
    if roll < 2 and HELD:
        return rng.choice(HELD)
    if roll == 2 and TYPE_SAMPLES:
        return rng.choice(TYPE_SAMPLES)[1](rng)
    if roll == 3:
        code = rng.choice('ddfi')
        numbers = NUMBERS[:6] + ([NAN, -0.0] if code != 'i' else [])
        return array.array(code, [rng.choice(numbers) for _ in range(count)])
    if roll == 4:
        return [[rng.choice([1.0, -0.0, NAN, INF, 5e-324]) for _ in range(width)]
                for _ in range(rows)]
    if roll in (5, 6) and PY3:
        data = bytearray(struct.pack('%dd' % count, *[rng.uniform(-9, 9) for _ in range(count)]))
        m = memoryview(bytes(data) if roll == 6 and rng.random() < 0.3 else data)
        fmt = rng.choice('ddddfB')
        size = struct.calcsize(fmt)
        m = m.cast('B').cast(fmt)
        n = len(m)
        shape = rng.choice([(n,), (rows, width * 8 // size) if rows else (0, width),
                            (rows, 3, 3) if width == 9 and size == 8 else (n,)])
        try:
            m = m.cast(fmt, shape) if len(shape) > 1 else m
        except (TypeError, ValueError):
            pass
        if rng.random() < 0.2 and len(m) > 1:
            m = m[::2]
        return m
    if roll == 7:
        return rng.choice([b'x' * count, bytearray(count * 8), 3.5, None, hostile(rng)])
    return hostile(rng)


def batch_arguments(rng, name, args):
    """Arguments for a batch function: buffers, with out= (the last) often
    an input itself, a held result, or a pair of them."""
    n = max(len(args), 1)
    made = [batch_buffer(rng) for _ in range(n)]
    if name.endswith(OUT) and n > 1 and rng.random() < 0.5:
        made[-1] = rng.choice(made[:-1])
    if name.endswith(OUT) and rng.random() < 0.2:
        made[-1] = (batch_buffer(rng), rng.choice(made))
    return tuple(made)


def batch_guard(name, args, rng=random.Random(5)):
    if name.split(' ')[0].endswith('Many') and rng.random() < 0.8:
        return batch_arguments(rng, name, args)
    return args


OUT = ' out='


def value_type_table(module, cls, components, init_arity, extra_arity=None):
    """A table for Triad, Hexad and Ennead alike: receivers are instances,
    subclass instances and instances made by __new__ alone."""
    getters = [getattr(cls, name) for name in components]
    sub, slotted = subclasses(cls)
    shifting = SHIFTING[-1]

    def make(rng):
        roll = rng.randrange(10)
        if roll == 0:
            return cls.__new__(cls)
        target = sub if roll == 1 else slotted if roll == 2 else cls
        if roll == 3:
            target = shifting
        obj = target(*[rng.choice(NUMBERS[:6] + [0.5, -0.0, NAN, INF, 1e300])
                       if rng.random() < 0.9 else 0.0 for _ in range(init_arity)])
        decorate(rng, obj)
        if roll == 4:
            # Viewed while the calls change it, and after its last name goes.
            hold(memoryview(obj))
        return obj

    def state(obj):
        return freeze([g(obj) for g in getters] + extra_state(obj))

    arity = {'__init__': init_arity, '__setitem__': 2, '_rebuild': 1}
    for name in dir(module):
        if name.endswith('Many'):
            two = name in ('TractionMany', 'ProductMany', 'ApplyMany')
            arity[name] = 2 if two else 1
            arity[name + OUT] = 3 if two else 2
    arity.update(extra_arity or {})
    TYPE_SAMPLES.append((cls, make))
    return Table(module, make, state, arity, guard=batch_guard)


def subclasses(cls):
    """A subclass with an attribute dictionary and one with slots only, both
    reachable by name from this script, as pickle needs them."""
    name = cls.__name__
    sub = type('Sub' + name, (cls,), {'__module__': __name__})
    slotted = type('Slotted' + name, (cls,), {'__module__': __name__,
                                              '__slots__': ('tag', 'other')})
    globals()[sub.__name__] = sub
    globals()[slotted.__name__] = slotted
    shifting = shifting_subclass(slotted)
    globals()[shifting.__name__] = shifting
    return sub, slotted


def fresh_slot_names():
    # Names held by nothing but the list the copy protocol caches.
    return [''.join(['ta', 'g']), ''.join(['oth', 'er'])]


def shifting_subclass(slotted):
    """A subclass of a slotted class whose slot `tag` is a property that
    empties the slot names the copy protocol caches on the class (and
    caches fresh ones) while a copy reads it."""
    def read(self):
        names = type(self).__dict__.get('__slotnames__')
        if isinstance(names, list):
            del names[:]
        type(self).__slotnames__ = fresh_slot_names()
        return 'read'

    shifting = type('Shifting' + slotted.__name__[len('Slotted'):], (slotted,),
                    {'__module__': __name__, 'tag': property(read, lambda self, v: None)})
    shifting.__slotnames__ = fresh_slot_names()
    SHIFTING.append(shifting)
    return shifting


# The subclasses of shifting_subclass, one per type.
SHIFTING = []


def decorate(rng, obj):
    """Gives a subclass instance attributes or slot values, sometimes."""
    if type(obj).__name__.startswith(('Sub', 'Slotted', 'Shifting')) and rng.random() < 0.6:
        obj.tag = rng.choice([1, 'label', [1.5, NAN], (None,)])


def extra_state(obj):
    """What of a subclass instance a copy must carry besides the value."""
    out = []
    for name in ('tag', 'other'):
        try:
            out.append(getattr(obj, name))
        except AttributeError:
            out.append('unset')
    return out


def triad_table(module):
    return value_type_table(module, module.Triad, ['x', 'y', 'z'], 3,
                            {'CrossProd': 2, 'TripleProd': 3, 'Max': 1, 'Min': 1})


def hexad_table(module):
    return value_type_table(module, module.Hexad, ['xx', 'yy', 'zz', 'xy', 'yz', 'zx'], 6)


def ennead_table(module):
    names = ['xx', 'xy', 'xz', 'yx', 'yy', 'yz', 'zx', 'zy', 'zz']
    return value_type_table(module, module.Ennead, names, 9)


CRACK_CONSTANTS = [[900.0, 800.0, 100.0, 60.0, 1.0, 1.0, 1e-10, 3.0, 0.5, 0.5, 5.0, 2.0,
                    0.1, 0.7, 1.9, 0.4, 0.1, 0.001, 2.0, 0.0],
                   [1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1]]


def crackrate_table(module):
    cls = module.Crackrate
    sub, slotted = subclasses(cls)
    shifting = SHIFTING[-1]
    attributes = ['UTS', 'YS', 'Kie', 'Kic', 'Ak', 'Bk', 'C', 'n', 'p', 'q', 'DK1', 'Cthp',
                  'Cthm', 'Rcl', 'alfa', 'ratio', 'R', 'a0', 'np', 'damp', 'Rso', 'alphag', 'Kc']

    def make(rng):
        if rng.randrange(8) == 0:
            return cls.__new__(cls)  # no model yet
        constants = list(rng.choice(CRACK_CONSTANTS))
        if rng.random() < 0.5:
            constants[rng.randrange(len(constants))] = number(rng)
        target = rng.choice([cls, cls, cls, sub, slotted, shifting])
        try:
            obj = target(constants, rng.choice([0, 1]))
        except Exception:
            obj = target(CRACK_CONSTANTS[0], 1)
        if rng.random() < 0.5:
            # Some load history, so that copies have an overload state to carry.
            obj.Compute_Crackrate(rng.choice([5.0, 20.0, 40.0]), 0.5, 1000, 0.1)
        decorate(rng, obj)
        return obj

    def state(obj):
        out = []
        for name in attributes:
            try:
                out.append(getattr(obj, name))
            except Exception as e:
                out.append(type(e).__name__)
        try:
            out.append(obj.__reduce__()[1][1:3])  # the flag and the overload state
        except ValueError as e:
            out.append(type(e).__name__)
        return freeze(out + extra_state(obj))

    def guard(name, args):
        # A valid spectrum of many cycles is a long life: at most three
        # segments of at most 20 cycles per pass, so a pass is short.
        if name != 'GrowCrack' or not args or not isinstance(args[0], (list, tuple)):
            return args
        rows = []
        for row in list(args[0])[:3]:
            if isinstance(row, (list, tuple)) and len(row) == 3:
                try:
                    row = (row[0], row[1], min(float(row[2]), 20.0))
                except Exception:
                    pass
            rows.append(row)
        return (rows,) + tuple(args[1:])

    TYPE_SAMPLES.append((cls, make))
    return Table(module, make, state,
                 {'__init__': 2, 'Calc_Crackrate': 3, 'CalcKeff': 2, 'Calc_DKth': 2,
                  'Paris': 1, 'CalcReff': 2, 'Setf': 1, 'dDKthbydReff': 2, 'SetKol': 0,
                  'Compute_Crackrate': 4, 'Crackrate': 4, '_rebuild': 3, 'GrowCrack': 3},
                 guard=guard)


def damaged_states(module, make, state):
    """The tree module's _rebuild fed the saved state of a tree that make()
    returns, damaged: cut short, lengthened, bytes changed at random places
    (counts, links, flags, floats alike). It must refuse with ValueError or
    give a tree that answers (state) and saves the very bytes it read."""
    def damage(rng, data):
        data = bytearray(data)
        for _ in range(rng.choice([0, 1, 1, 2, 5])):
            if data:
                data[rng.randrange(len(data))] ^= rng.choice([1, 0x80, 0xff, rng.randrange(256)])
        how = rng.random()
        if how < 0.2 and data:
            del data[rng.randrange(len(data)):]
        elif how < 0.3:
            data += bytearray(rng.randrange(256) for _ in range(rng.randrange(1, 9)))
        return bytes(data)

    def rebuild(rng):
        data = damage(rng, make(rng).__reduce__()[1][0])
        try:
            tree = module._rebuild(data)
        except ValueError as e:
            if not str(e).startswith('invalid %s state: ' % module.__name__):
                raise Finding('%s._rebuild refused with %r' % (module.__name__, e))
            raise
        state(tree)
        if tree.__reduce__()[1][0] != data:
            raise Finding('%s._rebuild accepted a state it does not save again'
                          % module.__name__)
        return tree

    return lambda rng: [('_rebuild of a damaged state', lambda r, args: rebuild(rng))]


def eightfold_table(module):
    def make(rng):
        tree = module.Eightfold((rng.choice([0, 1, -2.5]),) * 3, rng.choice([1.0, 0.75, 4]))
        for _ in range(rng.randrange(3)):
            try:
                tree.RefineToSize(triple(rng, 3) if rng.random() < 0.3 else (0.1, 0.2, -0.3),
                                  rng.choice([0.3, 0.1, 0.05]))
            except OverflowError:
                pass  # a coordinate beyond a double's range
        if rng.random() < 0.3:
            tree.RefineOneLevelDiff()
        return tree

    def state(tree):
        return freeze([(tuple(v), edge) for v, edge in tree.GetLeafCells()])

    def guard(name, args):
        # A uniform refinement many levels down is valid and would fill
        # memory; RefineToSize stays local however small the size.
        if name == 'UniformRefine' and args:
            try:
                size = float(args[0])
            except Exception:
                return args
            if 0 < size < 0.06:
                return (0.06,) + tuple(args[1:])
        return args

    return Table(module, make, state,
                 {'Eightfold': 2, 'RefineToSize': 2, 'UniformRefine': 1,
                  'RefineOneLevelDiff': 0, 'ContainingCellSize': 1, 'GetLeafCells': 0,
                  '_rebuild': 1},
                 guard, extra=damaged_states(module, make, state))


def boxfinder_table(module):
    everything = ((-1e308,) * 3, (1e308,) * 3)

    def make(rng):
        n = rng.choice([0, 1, 3, 10, 40])
        lows = [(rng.random(), rng.random(), rng.random()) for _ in range(n)]
        highs = [tuple(c + rng.random() * 0.3 for c in lo) for lo in lows]
        tree = module.Boxfinder(lows, highs, [rng.randrange(8) for _ in range(n)])
        for _ in range(rng.randrange(4)):
            lo = (rng.random(),) * 3
            tree.AddToTree(lo, tuple(c + 0.2 for c in lo), rng.randrange(8))
        return tree

    def state(tree):
        return (tuple(tree.RangeQuery(*everything)), tuple(tree.PtQuery((0.5, 0.5, 0.5))))

    damaged = damaged_states(module, make, state)

    def with_keywords(name):
        # Nearest and NearestMany with their keywords, each given or not,
        # valid or hostile.
        def entry(tree, args, rng=random.Random(11)):
            tree = tree if tree is not None else make(rng)
            keywords = {}
            if rng.random() < 0.7:
                keywords['withDistances'] = rng.choice([True, False, 0, 1, None, hostile(rng)])
            if rng.random() < 0.7:
                keywords['maxDistance'] = rng.choice([None, 0.0, 0.1, 2.0, -1.0, NAN, INF,
                                                      -0.0, hostile(rng)])
            return getattr(tree, name)(*args, **keywords)
        return entry

    def extra(rng):
        return damaged(rng) + [(name + ' with keywords', with_keywords(name))
                               for name in ('Nearest', 'NearestMany')]

    return Table(module, make, state,
                 {'Boxfinder': 3, 'AddToTree': 3, 'RemoveFromTree': 3, 'PtQuery': 1,
                  'RangeQuery': 2, 'Nearest': 2, 'PtQueryMany': 1, 'RangeQueryMany': 2,
                  'NearestMany': 2, '_rebuild': 1, 'Nearest with keywords': 2,
                  'NearestMany with keywords': 2}, extra=extra)


def seqmath_table(module):
    return Table(module, arity={'Plus': 2, 'Minus': 2, 'Star': 2, 'Divide': 2,
                                'ScalarMult': 2})


def arrayprobe_table(module):
    def guard(name, args):
        # A valid shape of many items would only fill memory.
        if name == 'New' and args and isinstance(args[0], tuple):
            size = 1
            for n in args[0]:
                size *= n if isinstance(n, (int, long)) and n > 0 else 1
            if size > 10 ** 6:
                return ((10, 3),) + tuple(args[1:])
        return args

    return Table(module, arity={'Read': 2, 'Negate': 2, 'New': 2}, guard=guard)


# How to fuzz each module that has a table of its own; the others are fuzzed
# through their functions with random arguments.
TABLES = {'Triad': triad_table, 'Seqmath': seqmath_table, 'Hexad': hexad_table,
          'Ennead': ennead_table, 'Crackrate': crackrate_table,
          'Eightfold': eightfold_table, 'Boxfinder': boxfinder_table,
          'ArrayProbe': arrayprobe_table}


def module_names():
    """The import names of the modules, in build order, from the one list of
    them (modules.txt at the top of the tree)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'modules.txt')
    with open(path) as f:
        return [words[1] for words in (line.split() for line in f)
                if len(words) == 2 and not words[0].startswith('#')]


def built_modules(lib_dir):
    """Names of the extension modules in lib_dir (Triad.so under Python 2.7,
    Triad.cpython-311-x86_64-linux-gnu.so and the like under Python 3)."""
    names = set()
    for entry in os.listdir(lib_dir):
        if entry.endswith('.so'):
            names.add(entry.split('.')[0])
    return names


def load_tables(lib_dir):
    tables = []
    names = module_names()
    known = set(names)
    for name in names:
        build = TABLES.get(name, Table)
        try:
            module = __import__(name)
        except ImportError as e:
            print('skipped %s: %s' % (name, e))
            continue
        LOADED[name] = module
        tables.append(build(module))
    # Other built modules (test probes, modules without a table yet): their
    # functions with random arguments.
    for name in sorted(built_modules(lib_dir) - known):
        try:
            module = __import__(name)
        except ImportError as e:
            print('skipped %s: %s' % (name, e))
            continue
        LOADED[name] = module
        tables.append(TABLES.get(name, Table)(module))
    return tables


# ----- entry points ------------------------------------------------------

# Operators tried on every receiver, with the receiver on either side.
BINARY = [operator.add, operator.sub, operator.mul, operator.truediv,
          operator.floordiv, operator.mod, operator.pow, operator.eq, operator.lt,
          operator.getitem]
INPLACE = [operator.iadd, operator.isub, operator.imul, operator.itruediv]
if not PY3:
    BINARY.append(operator.div)  # classic division
    INPLACE.append(operator.idiv)
UNARY = [str, repr, abs, operator.neg, operator.pos, len, hash, list, bool, float, int, iter]


def duplicators():
    """(name, function) of every way to copy an object: the copy module and
    each pickler under each protocol."""
    out = [('copy', copy.copy), ('deepcopy', copy.deepcopy)]
    for name, dumps, loads in PICKLERS:
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            out.append(('%s %d' % (name, protocol),
                        lambda obj, d=dumps, l=loads, p=protocol: l(d(obj, p))))
    return out


DUPLICATORS = duplicators()

# Entry points that leave the process or rebind what other calls depend on.
EXCLUDED = set(['Bind'])


def receiver_entries(table, obj):
    """(name, callable taking the receiver and the argument list, mutates)
    for every entry point reachable from one receiver."""
    entries = []
    cls = type(obj)
    names = []
    if hasattr(obj, '__methods__'):
        names = [n for n in obj.__methods__]
        for n in names:
            entries.append((n, lambda r, args, n=n: getattr(r, n)(*args)))
    else:
        for klass in cls.__mro__:
            if klass is object:
                continue
            for n, attr in sorted(klass.__dict__.items()):
                if n in ('__doc__', '__module__', '__dict__', '__weakref__'):
                    continue
                if not callable(attr) and not hasattr(attr, '__get__'):
                    continue
                if n == '__new__':
                    entries.append((n, lambda r, args, k=klass: k.__new__(*args)))
                elif callable(attr):
                    # The slot wrapper or method descriptor called directly.
                    entries.append((n, lambda r, args, a=attr: a(r, *args)))
                else:
                    entries.append((n, lambda r, args, n=n: getattr(r, n)))
    for op in BINARY:
        entries.append((op.__name__, lambda r, args, op=op: op(r, *args[:1])))
        entries.append(('r' + op.__name__, lambda r, args, op=op: op(args[0], r)
                        if args else op(r, r)))
    for op in INPLACE:
        entries.append((op.__name__, lambda r, args, op=op: op(r, *args[:1])))
    for op in UNARY:
        entries.append((getattr(op, '__name__', 'op'), lambda r, args, op=op: op(r)))
    for name, duplicate in DUPLICATORS:
        entries.append((DUPLICATE + name, lambda r, args, d=duplicate: d(r)))
    entries.append(('setitem', lambda r, args: operator.setitem(r, *(list(args) + [0, 0])[:2])))
    entries.append(('delitem', lambda r, args: operator.delitem(r, *(list(args) + [0])[:1])))
    # r[a:b] as written: the two-index slots under Python 2.7 (for plain
    # bounds), a slice key under Python 3.
    entries.append(('slice', lambda r, args: r[first(args, 0):first(args[1:], 1)]))
    entries.append(('setslice', lambda r, args: operator.setitem(
        r, slice(first(args, 0), first(args[1:], 1)), first(args[2:], 0.5))))
    return entries


DUPLICATE = 'duplicate by '


def first(args, default):
    return args[0] if args else default


def module_entries(table):
    entries = []
    for n, attr in sorted(vars(table.module).items()):
        if n.startswith('__') or n in EXCLUDED or not callable(attr):
            continue
        if n.endswith('Many'):
            entries.append((n, lambda r, args, a=attr: hold(a(*args))))
        else:
            entries.append((n, lambda r, args, a=attr: a(*args)))
        if n.endswith('Many'):
            # Batch results are held, to come back as inputs and out=.
            entries.append((n + OUT, lambda r, args, a=attr: hold(
                a(*args[:-1], out=args[-1]) if args else a())))
    return entries


# ----- the loop ----------------------------------------------------------

def call_once(rng, table, counts, verbose):
    receiver = None
    if table.make is not None and rng.random() < 0.8:
        receiver = table.make(rng)
        entries = receiver_entries(table, receiver)
    else:
        entries = module_entries(table)
    if table.extra is not None:
        entries = entries + table.extra(rng)
    if not entries:
        return
    name, entry = rng.choice(entries)
    n = table.arity.get(name)
    if n is None or rng.random() < 0.25:
        n = rng.choice([0, 1, 1, 2, 3, 4])
    args = table.guard(name, tuple(hostile(rng) for _ in range(n)))
    before = table.state(receiver) if receiver is not None else None
    Hooks.receiver = receiver
    Hooks.reentered = False
    if receiver is not None:
        others = [e for e in entries if e[0] in table.arity and e[0] != name]
        if others:
            other_name, other = rng.choice(others)
            other_args = table.guard(other_name, tuple(
                triple(rng, 3) if i % 2 == 0 else 0.25
                for i in range(table.arity[other_name])))
            Hooks.entry = lambda r: other(r, other_args)
        else:
            Hooks.entry = None
    if verbose:
        print('%s.%s%r' % (table.module.__name__, name, args))
        sys.stdout.flush()
    if rng.random() < 0.03:
        GC_WALKER.arm()
    try:
        result = entry(receiver, args)
        GC_WALKER.disarm()
        counts['returned'] += 1
        if name.startswith(DUPLICATE):
            check_duplicate(table, name, receiver, before, result)
    except SystemError as e:
        raise Finding('SystemError from %s.%s%r: %s' % (table.module.__name__, name, args, e))
    except Finding:
        # A fault the checks after the call found, not an exception of the
        # call's own.
        raise
    except Exception as e:
        counts['raised'] += 1
        if name.startswith(DUPLICATE) and not table.picklable and (
                type(e) is not TypeError or 'cannot be pickled' not in str(e)):
            raise Finding('%s %s refused with %r instead of TypeError'
                          % (table.module.__name__, name, e))
        if receiver is not None and not Hooks.reentered and \
                name not in ('__init__', 'GetLeafCells') and not name.startswith('__new'):
            after = table.state(receiver)
            if after != before:
                raise Finding('%s.%s%r raised and changed its receiver: %r -> %r'
                              % (table.module.__name__, name, args, before, after))
    finally:
        GC_WALKER.disarm()
        Hooks.receiver = None
        Hooks.entry = None


def check_duplicate(table, name, original, before, duplicate):
    """A copy or pickle that succeeded: same class, same state, and the
    original untouched; or a refusal that did not come."""
    where = '%s %s of %r' % (table.module.__name__, name, original)
    if not table.picklable:
        raise Finding(where + ' was not refused')
    if type(duplicate) is not type(original):
        raise Finding('%s gave a %s' % (where, type(duplicate).__name__))
    if table.state is not None:
        if table.state(duplicate) != before:
            raise Finding('%s changed the state: %r -> %r'
                          % (where, before, table.state(duplicate)))
        if table.state(original) != before:
            raise Finding(where + ' changed the original')


# The address space a fuzz run may take outside the sanitizer build.
MEMORY_CAP = 6 << 30


def cap_memory():
    """Caps the process's address space, so that a call asking the
    interpreter for an enormous object (a list repeated a billion times by
    an element operation, say) gets the interpreter's MemoryError instead of
    the machine's memory and the kernel's out-of-memory kill. Not under
    AddressSanitizer, whose shadow memory takes a vast address space; its
    own cap on one allocation (fuzz.sh sets it) applies there."""
    if 'libasan' in os.environ.get('LD_PRELOAD', ''):
        return
    import resource
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    if soft == resource.RLIM_INFINITY or soft > MEMORY_CAP:
        cap = MEMORY_CAP if hard == resource.RLIM_INFINITY else min(MEMORY_CAP, hard)
        resource.setrlimit(resource.RLIMIT_AS, (cap, hard))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--seconds', type=float, default=30)
    parser.add_argument('--seed', type=int, default=None)
    parser.add_argument('--calls', type=int, default=None, help='stop after this many calls')
    parser.add_argument('--lib', default=None, help='directory of the built modules')
    parser.add_argument('--verbose', action='store_true')
    options = parser.parse_args()
    cap_memory()
    seed = options.seed if options.seed is not None else random.SystemRandom().randrange(10 ** 9)
    print('fuzz_modules seed %d (rerun with --seed %d), Python %d.%d'
          % (seed, seed, sys.version_info[0], sys.version_info[1]))
    sys.stdout.flush()
    lib_dir = options.lib or next(p for p in sys.path if os.path.isdir(p) and any(
        e.startswith('Triad.') and e.endswith('.so') for e in os.listdir(p)))
    tables = load_tables(lib_dir)
    print('modules: %s' % ', '.join(t.module.__name__ for t in tables))
    rng = random.Random(seed)
    counts = {'returned': 0, 'raised': 0}
    deadline = time.time() + options.seconds
    calls = 0
    try:
        while time.time() < deadline and (options.calls is None or calls < options.calls):
            call_once(rng, rng.choice(tables), counts, options.verbose)
            calls += 1
            if calls % 2000 == 0:
                gc.collect()
    except Finding as e:
        print('FINDING after %d calls (seed %d): %s' % (calls, seed, e))
        return 1
    print('fuzz_modules: %d calls clean (%d returned, %d raised), seed %d' % (
        calls, counts['returned'], counts['raised'], seed))
    return 0


if __name__ == '__main__':
    sys.exit(main())
