"""Exact ints and floats take a shortcut past the interpreter's dispatch: its
results, result types and exceptions must be the interpreter's own, on many
random values, the int boundaries (a C long's, a double's exact ints) and
int/float mixes, ints beyond a C long included."""
import fractions
import operator
import os
import random
import subprocess
import sys
import textwrap
import unittest

from Seqmath import Plus, Minus, Star, Divide, ScalarMult
from dialect import PY3, long_type, python2_only, python3_only
from messages import MessageAssertions

# The largest C long (a plain int's largest value under Python 2.7).
MAXINT = getattr(sys, 'maxint', 2 ** 63 - 1)
# Divide is the interpreter's `/`: classic division under Python 2.7, true
# division under Python 3.
SLASH = operator.truediv if PY3 else operator.div
OPERATIONS = [(Plus, operator.add), (Minus, operator.sub), (Star, operator.mul),
              (Divide, SLASH)]
# Ints beyond a C long (Python 2.7's longs) and around a double's exact
# ints.
BEYOND_LONG = [MAXINT + 1, -MAXINT - 2, 2 ** 64, -2 ** 100 + 1, 10 ** 30, 2 ** 53, 2 ** 53 + 1,
               -2 ** 53 - 1, 2 ** 1023 * 3]
TOO_LARGE_FOR_A_FLOAT = 10 ** 400


class Int(int):
    def __add__(self, other):
        return "subclass"


def sample_values(seed):
    rnd = random.Random(seed)
    values = [0, 1, -1, 2, -2, 7, -7, MAXINT, -MAXINT - 1, MAXINT - 1, -MAXINT,
              MAXINT // 2, -MAXINT // 2 - 1, 3037000499, -3037000500, 2 ** 32,
              0.0, -0.0, 1.0, -1.0, 0.5, 1e308, -1e308, 5e-324, float('inf'),
              float('-inf'), float('nan'), float(MAXINT), 2.0 ** 63, 1e16 + 1,
              True, False, long_type(2), long_type(0), long_type(2) ** 64, Int(3), 1.5j,
              TOO_LARGE_FOR_A_FLOAT] + BEYOND_LONG
    for _ in range(30):
        bits = rnd.randint(0, 63)
        values.append(rnd.randint(-2 ** bits, 2 ** bits - 1))
        bits = rnd.randint(64, 200)
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
        # No element fails: neither zero divisors nor ints too large to meet
        # a float.
        values = [v for v in sample_values(5)
                  if not isinstance(v, complex) and not (abs(v) > 1e308 and v != float('inf'))]
        a = [rnd.choice(values) for _ in range(3000)]
        b = [rnd.choice(values) or 3 for _ in range(3000)]
        for ours, theirs in OPERATIONS:
            got = ours(a, tuple(b))
            self.assertEqual([(type(r), repr(r)) for r in got],
                             [(type(r), repr(r)) for r in map(theirs, a, b)], ours.__name__)
        for k in [3, -1, 0, MAXINT, -MAXINT - 1, 2.5, -0.0, float('nan'), long_type(2), True,
                  2 ** 64, -10 ** 30]:
            self.assertEqual([(type(r), repr(r)) for r in ScalarMult(a, k)],
                             [(type(r), repr(r)) for r in [x * k for x in a]], k)

    @python2_only('classic division and its -Q option')
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


@python3_only('true division of ints')
class TrueDivisionTest(MessageAssertions, unittest.TestCase):
    """Divide combines ints with Python 3's `/`: their exact quotient rounded
    once to a float. The shortcut takes the ints of a double's exact range;
    the rest goes to the interpreter."""

    def random_ints(self, rnd, count):
        edge = 2 ** 53
        ints = [0, 1, -1, edge, -edge, edge - 1, edge + 1, -edge - 1, MAXINT, -MAXINT - 1,
                MAXINT + 1, 3, 7, 10 ** 15, 2 ** 52 + 1]
        while len(ints) < count:
            bits = rnd.choice([rnd.randint(0, 53), rnd.randint(0, 53), rnd.randint(54, 64),
                               rnd.randint(65, 300)])
            ints.append(rnd.randint(-2 ** bits, 2 ** bits))
        return ints

    def test_quotients_of_small_and_huge_ints_are_those_of_slash_and_correctly_rounded(self):
        rnd = random.Random(21)
        a = self.random_ints(rnd, 20000)
        b = [x or 1 for x in self.random_ints(rnd, 20000)]
        rnd.shuffle(b)
        got = Divide(a, b)
        self.assertEqual(set(map(type, got)), set([float]))
        self.assertEqual([repr(q) for q in got], [repr(x / y) for x, y in zip(a, b)])
        # Correctly rounded, with the sign of a zero quotient.
        for q, x, y in zip(got, a, b):
            want = float(fractions.Fraction(x, y))
            if want == 0:
                want = -0.0 if (x < 0) != (y < 0) else 0.0
            self.assertEqual(repr(q), repr(want), (x, y))

    def test_ints_meeting_floats_and_bools_are_divided_as_slash_does(self):
        for x in [3, -2 ** 53 - 1, 2 ** 70, True, 7.5, -0.0, float('inf')]:
            for y in [2, 2 ** 53 + 1, -2 ** 64, True, 0.1, -3.0, float('nan')]:
                self.assertEqual(repr(Divide([x], [y])[0]), repr(x / y), (x, y))

    def test_a_zero_divisor_raises_what_slash_raises(self):
        for x in [0, 1, -7, 2 ** 53, 2 ** 80, True, 1.5, -0.0]:
            for y in [0, False, 0.0, -0.0, Int(0)]:
                with self.assertRaises(ZeroDivisionError) as want:
                    x / y
                self.assertFails(ZeroDivisionError, str(want.exception), Divide, [1, x], [1, y])


if __name__ == '__main__':
    unittest.main()
