"""The point location example with 1e6 points on 2 workers against one
process: the speed-up of a multiprocessing pool and of a Dask cluster of 2
process workers (goal at least 1.6 on 2 idle cores), the tree's transfer
to the workers included (each run sends it afresh: to a new pool's
workers, or scattered to the cluster's), the pool's and the cluster's own
start-up left out where it can be. Medians of several repetitions. Python
2.7 measures the pool alone.

    python bench_point_location.py [points] [repetitions]

The figures need a quiet machine: on a loaded one the workers share the
cores with everything else.
"""
from __future__ import print_function

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
from timing import timed, use_examples  # noqa: E402

use_examples()
import point_location_on_workers as example  # noqa: E402


def main(argv):
    count = int(argv[1]) if len(argv) > 1 else 1000000
    reps = int(argv[2]) if len(argv) > 2 else 3
    tree = example.mesh_tree()
    flat = example.gauge_points(count)
    example.CHUNK = max(1000, count // 16)
    print('point location of %d points in %d chunks, medians of %d repetitions'
          % (count, len(example.chunks(flat)), reps))
    (serial, _), expected = timed(lambda: example.serial(tree, flat), reps)
    print('  one process   %.3f s' % serial)
    # A new pool per run, whose start includes the tree's transfer.
    (took, _), got = timed(lambda: example.with_pool(tree, flat), reps)
    assert got == expected
    print('  pool of 2     %.3f s  speed-up %.2f (goal >= 1.6), the pool start included'
          % (took, serial / took))
    if sys.version_info[0] < 3:
        print('  Dask: not measured, Dask does not exist for Python 2.7')
        return 0
    from distributed import Client
    from crack_growth_at_locations import local_cluster
    cluster = local_cluster(2)
    client = Client(cluster)

    def on_cluster():
        shared = client.scatter(tree, broadcast=True)
        parts = example.chunks(flat)
        futures = client.map(example.locate, [shared] * len(parts), parts, pure=False)
        return example.concatenated(client.gather(futures))
    try:
        on_cluster()
        (took, _), got = timed(on_cluster, reps)
    finally:
        client.close()
        cluster.close()
    assert got == expected
    print('  Dask, 2 workers %.3f s  speed-up %.2f (goal >= 1.6), the scatter included'
          % (took, serial / took))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
