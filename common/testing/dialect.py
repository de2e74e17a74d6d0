"""What the test suites need to run unchanged under Python 2.7 and Python 3.

Cases that exist only in one dialect are marked with the decorators below,
which skip them in the other with the reason given.
"""
import sys
import unittest

PY3 = sys.version_info[0] >= 3

if PY3:
    long_type = int  # Python 3 has one int type
    integer_types = (int,)
    text_type = str
    range_ = range
else:
    long_type = long  # noqa: F821 (Python 2.7 only)
    integer_types = (int, long)  # noqa: F821
    text_type = str
    range_ = xrange  # noqa: F821


def python2_only(reason):
    """Skips a case under Python 3: `reason` says which Python 2.7 concept
    it tests (longs, old-style classes, classic division, ...)."""
    return unittest.skipIf(PY3, 'Python 2.7 only: ' + reason)


def python3_only(reason):
    """Skips a case under Python 2.7: `reason` says what of Python 3 it tests."""
    return unittest.skipUnless(PY3, 'Python 3 only: ' + reason)


def type_name(module, name):
    """The name a type of ours reads as: bare under Python 2.7, qualified by
    its module under Python 3."""
    return module + '.' + name if PY3 else name


if PY3:
    import operator as _operator

    # The operator of `/` and `/=`: classic division under Python 2.7, true
    # division under Python 3 (the only `/` there).
    divide = _operator.truediv
    inplace_divide = _operator.itruediv
else:
    import operator as _operator

    divide = _operator.div
    inplace_divide = _operator.idiv


def text(output):
    """The output of a child process as a native string."""
    return output.decode('ascii') if PY3 else output


# Prints in the child processes the suites start, which may run either
# interpreter: a script that starts with this has print as a function.
PRINT_FUNCTION = 'from __future__ import print_function\n'


def signature(function):
    """The signature a doc string starts with ('($self, n, /)'): Python 3
    takes it off the doc into __text_signature__, Python 2.7 leaves it as
    the doc's first line, 'Name($self, n, /)', followed by '--'."""
    if PY3:
        return function.__text_signature__
    head, sep, _ = function.__doc__.partition('\n--\n\n')
    return head[len(function.__name__):] if sep else None
