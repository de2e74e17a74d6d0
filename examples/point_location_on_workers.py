"""Point location over processes: which element holds each gauge point.

A Boxfinder tree over the bounding boxes of a mesh's elements (here a block
of hexahedral cells, some of them replaced after the build, so that the
tree's shape is its history's) is sent once to every worker: as the
initial argument of each multiprocessing worker, or scattered to every
Dask worker. The points are split into chunks of flat coordinates
(array('d'), which pickles as one block of bytes), each worker answers its
chunks with the id of the first box that holds each point (-1 for none),
and the chunks' answers are concatenated in order. Every way gives the
serial answers exactly: each worker's copy of the tree is the tree.

    python point_location_on_workers.py [serial|pool|dask] [points] [address]
"""
import array
import random
import sys

import Boxfinder

CELLS = 24     # cells per edge of the unit cube's block mesh
CHUNK = 20000  # points per chunk


def mesh_tree(cells=CELLS):
    """The tree of the mesh's cell boxes, ids 0 .. cells**3 - 1 (slightly
    overlapping, as element boxes do), built at once; then a band of cells
    replaced by boxes with new ids, one by one."""
    lower, upper, ids = [], [], []
    cell = 1.0 / cells
    pad = 0.01 * cell
    for i in range(cells):
        for j in range(cells):
            for k in range(cells):
                lower.append((i * cell - pad, j * cell - pad, k * cell - pad))
                upper.append(((i + 1) * cell + pad, (j + 1) * cell + pad, (k + 1) * cell + pad))
                ids.append((i * cells + j) * cells + k)
    tree = Boxfinder.Boxfinder(lower, upper, ids)
    replaced = cells ** 3
    for n in range(0, len(ids), 7):
        tree.RemoveFromTree(lower[n], upper[n], ids[n])
        tree.AddToTree(lower[n], upper[n], replaced + n)
    return tree


def gauge_points(count, seed=1):
    """count points as one flat array of x, y, z, some outside the mesh."""
    rng = random.Random(seed)
    flat = array.array('d')
    for _ in range(3 * count):
        flat.append(rng.uniform(-0.05, 1.05))
    return flat


def chunks(flat, size=None):
    """The flat coordinates in chunks of `size` points (CHUNK by default)."""
    size = size or CHUNK
    return [flat[s:s + 3 * size] for s in range(0, len(flat), 3 * size)]


def locate(tree, chunk):
    """The id of the first box holding each point of the chunk, -1 for none,
    as array('i')."""
    query = tree.PtQuery
    out = array.array('i')
    for s in range(0, len(chunk), 3):
        found = query((chunk[s], chunk[s + 1], chunk[s + 2]))
        out.append(found[0] if found else -1)
    return out


def concatenated(answers):
    out = array.array('i')
    for part in answers:
        out.extend(part)
    return out


def serial(tree, flat):
    return concatenated(locate(tree, c) for c in chunks(flat))


# The tree each multiprocessing worker received when it started.
_worker_tree = None


def _install(tree):
    global _worker_tree
    _worker_tree = tree


def _locate_on_worker(chunk):
    return locate(_worker_tree, chunk)


def with_pool(tree, flat, processes=2):
    """The chunks on a multiprocessing pool; the tree goes to each worker
    once, pickled as its state, when the worker starts (spawn where the
    interpreter has it, fork under Python 2.7)."""
    import multiprocessing
    if sys.version_info[0] >= 3:
        context = multiprocessing.get_context('spawn')
        pool = context.Pool(processes, initializer=_install, initargs=(tree,))
    else:
        pool = multiprocessing.Pool(processes, initializer=_install, initargs=(tree,))
    try:
        return concatenated(pool.map(_locate_on_worker, chunks(flat), chunksize=1))
    finally:
        pool.close()
        pool.join()


def with_dask(tree, flat, address=None, workers=2):
    """The chunks on Dask (the scheduler at `address`, or a local cluster of
    process workers made and shut down here); the tree is scattered once to
    every worker, and each task names it."""
    from distributed import Client
    from crack_growth_at_locations import local_cluster
    cluster = None
    if address is None:
        cluster = local_cluster(workers)
        address = cluster
    client = Client(address)
    try:
        shared = client.scatter(tree, broadcast=True)
        futures = client.map(locate, [shared] * len(chunks(flat)), chunks(flat), pure=False)
        return concatenated(client.gather(futures))
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def main(argv):
    how = argv[1] if len(argv) > 1 else 'serial'
    count = int(argv[2]) if len(argv) > 2 else 100000
    tree = mesh_tree()
    flat = gauge_points(count)
    if how == 'pool':
        found = with_pool(tree, flat)
    elif how == 'dask':
        found = with_dask(tree, flat, argv[3] if len(argv) > 3 else None)
    else:
        found = serial(tree, flat)
    outside = sum(1 for f in found if f < 0)
    print('%d points, %d outside the mesh, first ids %s' % (len(found), outside, list(found[:5])))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
