"""Every module of modules.txt, and every public type, function and method in
it, carries a doc string; under Python 3 each callable also carries a
signature (help() and inspect.signature read it) whose positional parameter
count is the one the call accepts, checked by calling it with one argument
too many, one too few and exactly enough."""
import os
import re
import sys
import unittest

from Triad import Triad

PYTHON3 = sys.version_info[0] >= 3
HERE = os.path.dirname(os.path.abspath(__file__))
MODULES_LIST = os.path.join(HERE, '..', '..', 'modules.txt')

# The interpreters' own argument-count messages (PyArg_ParseTuple,
# METH_NOARGS, METH_O, keywords parsing) and the batch parsers'.
COUNT_MESSAGE = re.compile(r'takes|given|missing|required|expected at (most|least)'
                           r'|positional argument')

# Result types that scripts receive but never construct: doc strings only.
RESULT_TYPES = ('Array', 'CrackLife')

CRACKRATE_CONSTANTS = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3,
                       0.1, 0.0381, 3, 10000]


def module_names():
    names = []
    with open(MODULES_LIST) as listing:
        for line in listing:
            words = line.split('#', 1)[0].split()
            if len(words) == 2:
                names.append(words[1])
    return names


def sample_objects(module):
    """The objects of `module` whose methods are walked: one instance of each
    type a script makes, by the module's own constructor."""
    name = module.__name__
    if name == 'Triad':
        return [module.Triad(1, 2, 3)]
    if name == 'Hexad':
        return [module.Hexad(1, 2, 3, 4, 5, 6)]
    if name == 'Ennead':
        return [module.Ennead(1, 2, 3, 4, 5, 6, 7, 8, 9)]
    if name == 'Crackrate':
        return [module.Crackrate(CRACKRATE_CONSTANTS, 0)]
    if name == 'Eightfold':
        return [module.Eightfold(Triad(0, 0, 0), 1.0)]
    if name == 'Boxfinder':
        return [module.Boxfinder([Triad(0, 0, 0)], [Triad(1, 1, 1)], [5])]
    return []


def method_names(obj):
    """Public method names of a native object (Python 2.7's factory-made
    objects list theirs in __methods__)."""
    names = set(getattr(obj, '__methods__', []))
    for name, value in vars(type(obj)).items():
        if callable(value):
            names.add(name)
    return sorted(n for n in names if not n.startswith('_'))


class DocStringsTest(unittest.TestCase):

    def walk(self):
        """(label, callable, is a type) for every public callable."""
        for name in module_names():
            module = __import__(name)
            for attribute in sorted(dir(module)):
                if attribute.startswith('_'):
                    continue
                value = getattr(module, attribute)
                if callable(value):
                    yield '%s.%s' % (name, attribute), value, isinstance(value, type)
            for obj in sample_objects(module):
                for method in method_names(obj):
                    yield ('%s.%s' % (type(obj).__name__, method), getattr(obj, method),
                           False)

    def test_every_module_has_a_doc_string(self):
        for name in module_names():
            doc = __import__(name).__doc__
            self.assertTrue(doc and doc.strip(), name)

    def test_every_public_callable_has_a_doc_string_without_a_signature_prefix(self):
        count = 0
        for label, value, _ in self.walk():
            count += 1
            doc = value.__doc__
            self.assertTrue(doc and doc.strip(), label)
            if PYTHON3:
                # The signature is read off and never shown as text.
                self.assertNotIn('\n--\n\n', doc, label)
        self.assertGreater(count, 60)

    def check_count(self, label, value, positional):
        """True when calling with `positional` Nones is refused for no
        reason of count."""
        try:
            value(*([None] * positional))
        except TypeError as error:
            return COUNT_MESSAGE.search(str(error)) is None
        except Exception:  # the count is accepted; the values are not
            return True
        return True

    @unittest.skipUnless(PYTHON3, 'Python 2.7 reads no signature from a builtin')
    def test_every_signature_counts_the_positional_arguments_the_call_accepts(self):
        import inspect
        for label, value, is_type in self.walk():
            if label.split('.')[-1] in RESULT_TYPES:
                continue
            signature = inspect.signature(value)
            parameters = list(signature.parameters.values())
            positional = [p for p in parameters
                          if p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD)]
            required = len([p for p in positional if p.default is p.empty])
            varargs = any(p.kind == p.VAR_POSITIONAL for p in parameters)
            self.assertTrue(self.check_count(label, value, required),
                            '%s refuses %d arguments' % (label, required))
            if not varargs:
                self.assertFalse(self.check_count(label, value, len(positional) + 1),
                                 '%s accepts %d arguments' % (label, len(positional) + 1))
            else:
                self.assertTrue(self.check_count(label, value, len(positional) + 3),
                                label)
            if required > 0:
                self.assertFalse(self.check_count(label, value, required - 1),
                                 '%s accepts %d arguments' % (label, required - 1))

    def test_fixed_doc_strings_keep_their_text_exactly(self):
        import Hexad
        import Seqmath
        self.assertEqual(Triad.__doc__, 'Triad objects')
        self.assertEqual(Triad.Max.__doc__, 'componentwise max')
        self.assertEqual(Hexad.Hexad.EffectiveStrain.__doc__, 'tensor effective strain')
        self.assertEqual(Seqmath.Plus.__doc__, 'Add two sequences')
        if PYTHON3:
            import inspect
            self.assertEqual(str(inspect.signature(Triad)), '(x, y, z, /)')


if __name__ == '__main__':
    unittest.main()
