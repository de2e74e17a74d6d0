"""Crack growth at many locations of a structure, spread over processes.

Each location has its own Crackrate model (its own material constants) and
its own initial crack length; all of them see the same load spectrum. One
task is one location: the pickled model, its initial length and the
number of cycles it is grown through (carried by the task, so that every
worker runs what the task says, whatever its own module defaults), grown
cycle by cycle through the spectrum (each cycle's stress intensity range
from the spectrum and the current crack length) by grow_location, in one
native call (Crackrate.GrowCrack, exact mode). The same
tasks run in this process (serial), on a multiprocessing pool (spawn start
method where the interpreter has it; Python 2.7 has only fork), or on a
Dask cluster (a LocalCluster of process workers, or a scheduler given by
its address), and every way gives the same results, bit for bit: the
models' arithmetic is the same wherever it runs.

    python crack_growth_at_locations.py [serial|pool|dask] [locations] [address]

Copy it and change locations(), SPECTRUM and grow_location to your
structure's; keep grow_location a top-level function of an importable
module, which is how the workers find it.
"""
import math
import pickle
import sys

from Crackrate import Crackrate

# Material constants (ksi, inches), in Crackrate's order: UTS, YS, Kie, Kic,
# Ak, Bk, C, n, p, q, DK1, Cthp, Cthm, Rcl, alfa, ratio, R, a0, np, damp.
BASE_CONSTANTS = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1,
                  0.0381, 3, 10000]
C_INDEX = 6
KIC_INDEX = 3

# One block of the load spectrum: (stress range in ksi, stress ratio) per
# cycle; the block repeats. Mostly moderate cycles, a few higher ones, one
# overload near the end of the block.
SPECTRUM = [(12.0 + 4.0 * math.sin(0.37 * k), 0.1 if k % 5 else 0.3) for k in range(199)]
SPECTRUM.append((27.0, 0.05))
# Cycles each location is grown through, and the crack length (inches) at
# which a location counts as failed and stops.
CYCLES = 4000
FAILED_LENGTH = 1.0


def locations(count, cycles=None):
    """The tasks: (pickled model, initial crack length, cycles) per
    location, with constants and initial lengths varying from one location
    to the next; cycles defaults to CYCLES as it is when this is called."""
    tasks = []
    for i in range(count):
        constants = list(BASE_CONSTANTS)
        constants[C_INDEX] = 1e-10 * (1.0 + 0.5 * math.sin(1.7 * i))
        constants[KIC_INDEX] = 40.0 + (i % 7)
        model = Crackrate(constants, i % 2)
        initial = 0.03 + 0.002 * (i % 11)
        tasks.append((pickle.dumps(model, pickle.HIGHEST_PROTOCOL), initial,
                      CYCLES if cycles is None else cycles))
    return tasks


def grow_location(task, cycles=None):
    """Grows one location's crack through its task's cycles of the
    spectrum (or `cycles`, when given),
    or until it reaches FAILED_LENGTH or fractures: returns (final crack
    length, cycles run, the overload state (Kol, rpz, aol) the model ends
    with). GrowCrack's exact mode takes each cycle through
    Compute_Crackrate, with N the cycles so far and dK = S * sqrt(pi * a),
    as a Python loop over the cycles would, bit for bit."""
    pickled, a, task_cycles = task
    if cycles is None:
        cycles = task_cycles
    model = pickle.loads(pickled)
    block = len(SPECTRUM)
    # The cycles as one pass of (S, R) rows, one cycle each.
    cycle_rows = [SPECTRUM[n % block] for n in range(cycles)]
    life = model.GrowCrack(cycle_rows, a, FAILED_LENGTH, per_cycle=True, passes=1)
    state = model.__reduce__()[1][2]
    return life.length, life.cycles, tuple(state)


def serial(tasks, cycles=None):
    return [grow_location(t, cycles) for t in tasks]


def start_method():
    """The start method the pool uses: spawn, where the interpreter has it
    (Python 3), so that each worker is a fresh interpreter that receives
    everything it needs by pickle; fork under Python 2.7, which has no
    other."""
    return 'spawn' if sys.version_info[0] >= 3 else 'fork'


def with_pool(tasks, processes=2):
    """The tasks on a multiprocessing pool of `processes` workers, results
    in task order."""
    import multiprocessing
    if sys.version_info[0] >= 3:
        pool = multiprocessing.get_context(start_method()).Pool(processes)
    else:
        pool = multiprocessing.Pool(processes)
    try:
        return pool.map(grow_location, tasks, chunksize=max(1, len(tasks) // (4 * processes)))
    finally:
        pool.close()
        pool.join()


def local_cluster(workers=2):
    """A Dask cluster of `workers` single-threaded process workers on the
    loopback interface, without a dashboard."""
    from distributed import LocalCluster
    return LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                        host='127.0.0.1', dashboard_address=None, silence_logs=40)


def with_dask(tasks, address=None, workers=2):
    """The tasks on Dask: on the scheduler at `address` (for example
    'tcp://10.0.0.5:8786'), or on a local cluster of `workers` process
    workers made and shut down here. Results in task order."""
    from distributed import Client
    cluster = None
    if address is None:
        cluster = local_cluster(workers)
        address = cluster
    client = Client(address)
    try:
        futures = client.map(grow_location, tasks, pure=False)
        return client.gather(futures)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def main(argv):
    how = argv[1] if len(argv) > 1 else 'serial'
    count = int(argv[2]) if len(argv) > 2 else 64
    tasks = locations(count)
    if how == 'pool':
        results = with_pool(tasks)
    elif how == 'dask':
        results = with_dask(tasks, argv[3] if len(argv) > 3 else None)
    else:
        results = serial(tasks)
    for i, (a, n, _) in enumerate(results):
        print('location %3d: crack %.6f in after %d cycles' % (i, a, n))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
