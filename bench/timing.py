"""Timing helpers of the Python benchmarks: medians of repeated runs, on
the wall clock and on the process's processor clock (which a loaded machine
disturbs less), and ratios against an anchor."""
from __future__ import print_function

import os
import sys
import time

# The process's processor time (Python 2.7's time.clock is that on Unix).
cpu_clock = getattr(time, 'process_time', None) or time.clock

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'examples')


def use_examples():
    """Puts examples/ on the path, so that a benchmark imports an example."""
    if EXAMPLES not in sys.path:
        sys.path.insert(0, EXAMPLES)


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def timed(fn, reps):
    """(median wall seconds, median processor seconds) of reps calls, and
    the last call's result."""
    walls, cpus, result = [], [], None
    for _ in range(reps):
        start, start_cpu = time.time(), cpu_clock()
        result = fn()
        cpus.append(cpu_clock() - start_cpu)
        walls.append(time.time() - start)
    return (median(walls), median(cpus)), result


def ratios(label, took, base, base_name, goal):
    """Prints a timed step against the anchor `base` (both from timed)."""
    print('    %-8s %.3f s (processor %.3f s): ratio to %s %.3f, processor %.3f (goal <= %g)'
          % (label, took[0], took[1], base_name, took[0] / base[0], took[1] / base[1], goal))
