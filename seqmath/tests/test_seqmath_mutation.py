"""Operands whose length disagrees with their items, or that the script's own
code changes while the elements are combined. Each case that could touch
freed or foreign memory runs in a child interpreter, so that a fault shows as
a failed child instead of taking the suite down."""
import os
import subprocess
import sys
import textwrap
import unittest

from Seqmath import Plus, ScalarMult

CHANGED = "sequence changed size during the operation"


def run_child(script):
    proc = subprocess.Popen([sys.executable, "-B", "-c", textwrap.dedent(script)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=dict(os.environ), universal_newlines=True)
    out, err = proc.communicate()
    return proc.returncode, out, err


class LengthAndItemsTest(unittest.TestCase):
    def check(self, script):
        code, out, err = run_child(script)
        self.assertEqual(code, 0, err)
        self.assertEqual(out.strip(), "ok", out + err)

    def test_fewer_items_than_the_length_raises_instead_of_reading_on(self):
        self.check("""
            from Seqmath import Plus, Minus, ScalarMult
            class Liar(object):
                def __init__(self, length, items):
                    self.length, self.items = length, items
                def __len__(self):
                    return self.length
                def __getitem__(self, i):
                    return self.items[i]
                def __iter__(self):
                    return iter(self.items)
            for call in [lambda: Plus(Liar(50000, [1, 2, 3]), [1] * 50000),
                         lambda: Minus([1] * 50000, Liar(50000, [1.0])),
                         lambda: ScalarMult(Liar(50000, []), 2)]:
                try:
                    call()
                except RuntimeError as e:
                    assert str(e) == %r, e
                else:
                    raise AssertionError("no exception")
            print("ok")
            """ % CHANGED)

    def test_more_items_than_the_length_are_read_up_to_the_length(self):
        class Long(object):
            def __len__(self):
                return 2

            def __getitem__(self, i):
                return [10, 20, 30, 40][i]

            def __iter__(self):
                return iter([10, 20, 30, 40])
        self.assertEqual(Plus(Long(), [1, 2]), [11, 22])
        self.assertEqual(ScalarMult(Long(), 2), [20, 40])

    def test_an_operation_that_empties_an_operand_list_stops_the_loop(self):
        self.check("""
            import gc
            from Seqmath import Plus, Star, ScalarMult
            class Emptier(object):
                target = None
                def __add__(self, other):
                    del Emptier.target[:]
                    gc.collect()
                    return 0
                __mul__ = __add__
            calls = [(lambda a, b: Plus(a, b), "a"), (lambda a, b: Plus(a, b), "b"),
                     (lambda a, b: Star(a, b), "b"), (lambda a, b: ScalarMult(a, 2), "a")]
            for call, emptied in calls:
                a = [Emptier()] + [float(i) for i in range(20000)]
                b = [float(i) for i in range(20001)]
                Emptier.target = a if emptied == "a" else b
                try:
                    call(a, b)
                except RuntimeError as e:
                    assert str(e) == %r, e
                else:
                    raise AssertionError("no exception")
            print("ok")
            """ % CHANGED)

    def test_items_stay_alive_while_their_operation_runs(self):
        # x's __add__ empties the list holding the only reference to y and
        # declines; the interpreter then asks y for __radd__, so y must still
        # be alive. Afterwards nothing is left over.
        self.check("""
            import gc, weakref
            from Seqmath import Plus
            class Declines(object):
                def __add__(self, other):
                    del b[:]
                    gc.collect()
                    return NotImplemented
            class Accepts(object):
                def __radd__(self, other):
                    return "radd ran"
            a = [Declines(), 1]
            b = [Accepts(), 2]
            watch = weakref.ref(b[0])
            try:
                Plus(a, b)
            except RuntimeError as e:
                assert str(e) == %r, e
            else:
                raise AssertionError("no exception")
            assert watch() is None, "the held item leaked"
            a = [Declines()]
            b = [Accepts()]
            assert Plus(a, b) == ["radd ran"]
            print("ok")
            """ % CHANGED)

    def test_the_result_under_construction_is_out_of_the_scripts_reach(self):
        # Only finished lists are visible to the cycle collector: a script
        # scanning gc.get_objects() from inside an element operation must not
        # find the result with its empty slots.
        self.check("""
            import gc
            from Seqmath import Plus
            N = 7919
            class Snoop(object):
                def __add__(self, other):
                    found = [o for o in gc.get_objects() if type(o) is list and len(o) == N
                             and o is not a and o is not b]
                    for o in found:
                        repr(o)
                        del o[:]
                    return len(found)
            a = [Snoop()] + [1] * (N - 1)
            b = [1] * N
            r = Plus(a, b)
            assert r[0] == 0 and r[1:] == [2] * (N - 1), r[:3]
            assert any(o is r for o in gc.get_objects()), "finished result untracked"
            print("ok")
            """)


if __name__ == '__main__':
    unittest.main()
