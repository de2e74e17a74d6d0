"""The crack growth example over 64 locations on 2 workers against one
process: the speed-up of a multiprocessing pool and of a Dask cluster of 2
process workers (goal at least 1.7 on 2 idle cores), medians of several
repetitions, with the pool's and the cluster's start-up left out (a
long-lived pool or cluster serves many runs) and the transfer of the
models and results included. Python 2.7 measures the pool alone.

    python bench_scale_out.py [locations] [cycles] [repetitions]

The figures need a quiet machine: on a loaded one the workers share the
cores with everything else.
"""
from __future__ import print_function

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from timing import timed, use_examples  # noqa: E402

use_examples()
import crack_growth_at_locations as example  # noqa: E402


def main(argv):
    count = int(argv[1]) if len(argv) > 1 else 64
    example.CYCLES = int(argv[2]) if len(argv) > 2 else 20000
    reps = int(argv[3]) if len(argv) > 3 else 3
    tasks = example.locations(count)
    print('crack growth at %d locations, %d cycles each, medians of %d repetitions'
          % (count, example.CYCLES, reps))
    (serial, _), expected = timed(lambda: example.serial(tasks), reps)
    print('  one process   %.3f s' % serial)
    import multiprocessing
    if sys.version_info[0] >= 3:
        pool = multiprocessing.get_context(example.start_method()).Pool(2)
    else:
        pool = multiprocessing.Pool(2)
    try:
        pool.map(example.grow_location, tasks[:2])  # the workers are up
        chunk = max(1, count // 8)
        (took, _), got = timed(
            lambda: pool.map(example.grow_location, tasks, chunksize=chunk), reps)
    finally:
        pool.close()
        pool.join()
    assert got == expected
    print('  pool of 2     %.3f s  speed-up %.2f (goal >= 1.7)' % (took, serial / took))
    if sys.version_info[0] < 3:
        print('  Dask: not measured, Dask does not exist for Python 2.7')
        return 0
    from distributed import Client
    cluster = example.local_cluster(2)
    client = Client(cluster)
    try:
        client.gather(client.map(example.grow_location, tasks[:2], pure=False))
        (took, _), got = timed(lambda: client.gather(client.map(example.grow_location, tasks,
                                                           pure=False)), reps)
    finally:
        client.close()
        cluster.close()
    assert got == expected
    print('  Dask, 2 workers %.3f s  speed-up %.2f (goal >= 1.7)' % (took, serial / took))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
