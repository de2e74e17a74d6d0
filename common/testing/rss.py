"""Helpers shared by the Python test suites."""
import gc
import os

_PAGE = os.sysconf('SC_PAGE_SIZE')


def resident_bytes():
    """Resident set size of this process, read from /proc/self/statm."""
    with open('/proc/self/statm') as f:
        return int(f.read().split()[1]) * _PAGE


def growth_over(loop, rounds=4):
    """Runs loop() rounds times and returns the RSS growth after the first
    round (which is allowed to warm caches and free lists)."""
    loop()
    gc.collect()
    start = resident_bytes()
    for _ in range(rounds - 1):
        loop()
    gc.collect()
    return resident_bytes() - start


def assert_no_growth(test, loop, limit=1 << 20):
    """Fails the test case when repeating loop() grows the process by more
    than limit bytes. In sanitizer builds, whose allocator holds freed
    memory in quarantine on purpose, loop() runs once, so that the sanitizer
    sees every path it takes, and the measurement is skipped."""
    if os.environ.get('SANITIZED_BUILD'):
        loop()
        test.skipTest('memory growth is not measurable under the address sanitizer')
    grown = growth_over(loop)
    test.assertLess(grown, limit, 'memory grew by %d bytes' % grown)


def calls(fn, *args):
    """A loop body that calls fn(*args) and swallows the exception it may
    raise, for memory checks of failing calls."""
    def call():
        try:
            fn(*args)
        except Exception:
            pass
    return call


def assert_ops_no_growth(test, ops, repeats):
    """assert_no_growth over a loop that calls each of ops, repeats times."""
    def loop():
        for _ in range(repeats):
            for op in ops:
                op()
    assert_no_growth(test, loop)
