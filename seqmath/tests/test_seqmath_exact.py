"""Exact ints and floats take a shortcut past the interpreter's dispatch: its
results, result types and exceptions must be the interpreter's own, on many
random values, the int boundaries and int/float mixes."""
import operator
import os
import random
import subprocess
import sys
import textwrap
import unittest

from Seqmath import Plus, Minus, Star, Divide, ScalarMult

MAXINT = sys.maxint
OPERATIONS = [(Plus, operator.add), (Minus, operator.sub), (Star, operator.mul),
              (Divide, operator.div)]


class Int(int):
    def __add__(self, other):
        return "subclass"


def sample_values(seed):
    rnd = random.Random(seed)
    values = [0, 1, -1, 2, -2, 7, -7, MAXINT, -MAXINT - 1, MAXINT - 1, -MAXINT,
              MAXINT // 2, -MAXINT // 2 - 1, 3037000499, -3037000500, 2 ** 32,
              0.0, -0.0, 1.0, -1.0, 0.5, 1e308, -1e308, 5e-324, float('inf'),
              float('-inf'), float('nan'), float(MAXINT), 2.0 ** 63, 1e16 + 1,
              True, False, 2L, 0L, 2L ** 64, Int(3), 1.5j]
    for _ in range(30):
        bits = rnd.randint(0, 63)
        values.append(rnd.randint(-2 ** bits, 2 ** bits - 1))
        values.append(rnd.uniform(-1, 1) * 10.0 ** rnd.randint(-30, 30))
    return values


def outcome(fn):
    """(type, repr) of the result, or (exception type, message)."""
    try:
        r = fn()
    except Exception as e:
        return type(e), str(e)
    return type(r), repr(r)


class ShortcutTest(unittest.TestCase):
    def test_every_pair_matches_the_interpreters_operator(self):
        values = sample_values(9)
        for ours, theirs in OPERATIONS:
            for x in values:
                for y in values:
                    want = outcome(lambda: theirs(x, y))
                    got = outcome(lambda: ours([x], [y])[0])
                    self.assertEqual(got, want, (ours.__name__, x, y))

    def test_whole_lists_match_element_by_element(self):
        rnd = random.Random(4)
        values = [v for v in sample_values(5) if not isinstance(v, complex)]
        a = [rnd.choice(values) for _ in range(3000)]
        b = [rnd.choice(values) or 3 for _ in range(3000)]   # no zero divisors
        for ours, theirs in OPERATIONS:
            got = ours(a, tuple(b))
            self.assertEqual([(type(r), repr(r)) for r in got],
                             [(type(r), repr(r)) for r in map(theirs, a, b)], ours.__name__)
        for k in [3, -1, 0, MAXINT, -MAXINT - 1, 2.5, -0.0, float('nan'), 2L, True]:
            self.assertEqual([(type(r), repr(r)) for r in ScalarMult(a, k)],
                             [(type(r), repr(r)) for r in [x * k for x in a]], k)

    def test_division_warnings_under_the_q_option_are_the_interpreters(self):
        # With -Qwarnall classic division warns, and -Werror makes that an
        # exception that Divide must raise as `/` does.
        script = textwrap.dedent("""
            import operator, Seqmath
            for x, y in [(7, 2), (7.0, 2), (7, 2.0)]:
                for fn in (lambda: operator.div(x, y), lambda: Seqmath.Divide([x], [y])[0]):
                    try:
                        print repr(fn())
                    except DeprecationWarning as e:
                        print "warning", e
            """)
        proc = subprocess.Popen([sys.executable, "-B", "-Qwarnall", "-Werror", "-c", script],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=dict(os.environ))
        out, err = proc.communicate()
        self.assertEqual(proc.returncode, 0, err)
        lines = out.splitlines()
        self.assertEqual(lines, ["warning classic int division"] * 2 +
                         ["warning classic float division"] * 4)


if __name__ == '__main__':
    unittest.main()
