// Box tree against Boost.Geometry's rtree (packing construction, rstar<16>)
// over the same boxes: build time, point and range queries per second, and
// heap bytes per box. Each figure is the median of several repetitions, in
// processor time.
// The same figures follow after 10% of the boxes have been removed and
// re-inserted (Boost's tree takes the same removals and insertions), and a
// last table moves one box many times among 1,000 others (remove, then add
// slightly shifted) and shows how point-query cost and memory grow. Each
// query is preceded by RefreshQueryIndex, as the Python layer does, so that
// after the updates the query index is laid out again once the queries have
// paid for it (in the first repetition; the median is of indexed runs).
//
//   bench_boxtree [repetitions]
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "box_tree.h"
#include "tests/grid_tetrahedra.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using BPoint = bg::model::point<double, 3, bg::cs::cartesian>;
using BBox = bg::model::box<BPoint>;
using BValue = std::pair<BBox, int>;
using BTree = bgi::rtree<BValue, bgi::rstar<16>>;

namespace {

struct Data {
  std::string name;
  std::vector<double> lo, hi;
  std::vector<int32_t> ids;
  double edge;
  int Count() const { return static_cast<int>(ids.size()); }
};

Data RandomData(int n, unsigned seed) {
  Data d;
  d.name = "random " + std::to_string(n);
  d.edge = std::cbrt(1.0 / n);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < n; ++i) {
    for (int a = 0; a < 3; ++a) {
      const double e = d.edge * (0.5 + u(rng));
      const double x = u(rng) * (1.0 - e);
      d.lo.push_back(x);
      d.hi.push_back(x + e);
    }
    d.ids.push_back(i);
  }
  return d;
}

// Bounding boxes of the five tetrahedra of each cell of a structured grid.
Data MeshData(int cells) {
  Data d;
  d.edge = 1.0 / cells;
  int id = 0;
  boxfinder::ForEachGridTetrahedronBox(cells, [&](const double* l, const double* u) {
    d.lo.insert(d.lo.end(), l, l + 3);
    d.hi.insert(d.hi.end(), u, u + 3);
    d.ids.push_back(id++);
  });
  d.name = "mesh " + std::to_string(d.ids.size());
  return d;
}

// Processor time of this thread (user and system, page faults included):
// on a machine shared with other work, time spent waiting for a processor
// would otherwise land on whichever side happened to be running.
double Seconds(const std::function<void()>& body) {
  timespec t0, t1;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
  body();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
  return static_cast<double>(t1.tv_sec - t0.tv_sec) +
         1e-9 * static_cast<double>(t1.tv_nsec - t0.tv_nsec);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

std::vector<BValue> BoostValues(const Data& d) {
  std::vector<BValue> values;
  values.reserve(d.ids.size());
  for (int i = 0; i < d.Count(); ++i)
    values.emplace_back(BBox(BPoint(d.lo[3 * i], d.lo[3 * i + 1], d.lo[3 * i + 2]),
                             BPoint(d.hi[3 * i], d.hi[3 * i + 1], d.hi[3 * i + 2])),
                        d.ids[i]);
  return values;
}

void Row(const char* what, double ours, double boost, const char* unit) {
  std::printf("  %-28s %14.4g %14.4g %10.3f   %s\n", what, ours, boost, ours / boost, unit);
}

void Queries(const Data& d, boxfinder::BoxTree& treeRef, BTree& rtRef, int reps) {
  boxfinder::BoxTree* tree = &treeRef;
  BTree* rt = &rtRef;
  std::vector<double> ours, theirs;
  const int nq = 200000;
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> pts(3 * nq);
  for (double& x : pts) x = u(rng);
  Meshkit::List<int> out;
  std::vector<BValue> hits;
  long oursHits = 0, boostHits = 0;
  for (int r = 0; r < reps; ++r) {
    oursHits = boostHits = 0;
    ours.push_back(nq / Seconds([&] {
                     for (int q = 0; q < nq; ++q) {
                       tree->RefreshQueryIndex();
                       tree->QueryPoint(&pts[3 * q], out);
                       oursHits += out.Count();
                     }
                   }));
    theirs.push_back(nq / Seconds([&] {
                       for (int q = 0; q < nq; ++q) {
                         hits.clear();
                         rt->query(
                             bgi::intersects(BPoint(pts[3 * q], pts[3 * q + 1], pts[3 * q + 2])),
                             std::back_inserter(hits));
                         boostHits += static_cast<long>(hits.size());
                       }
                     }));
  }
  Row("point queries per s", Median(ours), Median(theirs), "higher is better");
  if (oursHits != boostHits)
    std::printf("  !! point hits differ: %ld vs %ld\n", oursHits, boostHits);

  ours.clear();
  theirs.clear();
  const double e = d.edge;
  for (int r = 0; r < reps; ++r) {
    oursHits = boostHits = 0;
    ours.push_back(nq / Seconds([&] {
                     for (int q = 0; q < nq; ++q) {
                       const double* p = &pts[3 * q];
                       const double h[3] = {p[0] + e, p[1] + e, p[2] + e};
                       tree->RefreshQueryIndex();
                       tree->QueryRange(p, h, out);
                       oursHits += out.Count();
                     }
                   }));
    theirs.push_back(nq / Seconds([&] {
                       for (int q = 0; q < nq; ++q) {
                         const double* p = &pts[3 * q];
                         hits.clear();
                         rt->query(bgi::intersects(BBox(BPoint(p[0], p[1], p[2]),
                                                        BPoint(p[0] + e, p[1] + e, p[2] + e))),
                                   std::back_inserter(hits));
                         boostHits += static_cast<long>(hits.size());
                       }
                     }));
  }
  Row("range queries per s", Median(ours), Median(theirs), "higher is better");
  if (oursHits != boostHits)
    std::printf("  !! range hits differ: %ld vs %ld\n", oursHits, boostHits);

  // The k nearest boxes (distance 0 inside a box) at k = 1 and k = 10.
  const int nn = nq / 4;
  for (int k : {1, 10}) {
    ours.clear();
    theirs.clear();
    for (int r = 0; r < reps; ++r) {
      oursHits = boostHits = 0;
      ours.push_back(nn / Seconds([&] {
                       for (int q = 0; q < nn; ++q) {
                         tree->RefreshQueryIndex();
                         tree->Nearest(&pts[3 * q], k, std::numeric_limits<double>::infinity(),
                                       out);
                         oursHits += out.Count();
                       }
                     }));
      theirs.push_back(nn / Seconds([&] {
                         for (int q = 0; q < nn; ++q) {
                           hits.clear();
                           rt->query(
                               bgi::nearest(BPoint(pts[3 * q], pts[3 * q + 1], pts[3 * q + 2]),
                                            static_cast<unsigned>(k)),
                               std::back_inserter(hits));
                           boostHits += static_cast<long>(hits.size());
                         }
                       }));
    }
    Row(k == 1 ? "nearest k=1 per s" : "nearest k=10 per s", Median(ours), Median(theirs),
        "higher is better");
    if (oursHits != boostHits)
      std::printf("  !! nearest counts differ: %ld vs %ld\n", oursHits, boostHits);
  }
}

void Run(const Data& d, int reps, bool queries) {
  std::printf("%s boxes\n  %-28s %14s %14s %10s\n", d.name.c_str(), "", "box tree", "boost rtree",
              "ratio");
  const std::vector<BValue> values = BoostValues(d);

  std::vector<double> ours, theirs;
  for (int r = 0; r < reps; ++r) {
    boxfinder::BoxTree tree;
    ours.push_back(
        Seconds([&] { tree.BuildFromArrays(d.Count(), d.lo.data(), d.hi.data(), d.ids.data()); }));
    theirs.push_back(Seconds([&] { BTree rt(values.begin(), values.end()); }));
  }
  Row("build [s]", Median(ours), Median(theirs), "lower is better");

  // The box tree maps its built blocks itself, out of the allocator's
  // sight, so its bytes are its own count (blocks, block table and stacks);
  // Boost's are the growth of the allocator's heap.
  auto tree = std::make_unique<boxfinder::BoxTree>();
  tree->BuildFromArrays(d.Count(), d.lo.data(), d.hi.data(), d.ids.data());
  const std::size_t heap1 = HeapInUse();
  auto rt = std::make_unique<BTree>(values.begin(), values.end());
  const std::size_t heap2 = HeapInUse();
  Row("heap bytes per box", static_cast<double>(tree->MemoryBytes()) / d.Count(),
      static_cast<double>(heap2 - heap1) / d.Count(), "lower is better");
  if (!queries) return;

  Queries(d, *tree, *rt, reps);

  // 10% of the boxes removed and added again at the same place.
  std::mt19937 pick(7);
  std::vector<int> chosen;
  for (int i = 0; i < d.Count(); ++i)
    if (pick() % 10 == 0) chosen.push_back(i);
  double tOurs = Seconds([&] {
    for (int i : chosen) tree->RemoveBox(&d.lo[3 * i], &d.hi[3 * i], d.ids[i]);
    for (int i : chosen) tree->InsertBox(&d.lo[3 * i], &d.hi[3 * i], d.ids[i]);
  });
  const std::size_t heap3 = HeapInUse();
  double tBoost = Seconds([&] {
    for (int i : chosen) rt->remove(values[i]);
    for (int i : chosen) rt->insert(values[i]);
  });
  const double boostBytes =
      static_cast<double>(heap2 - heap1) + static_cast<double>(HeapInUse() - heap3);
  std::printf("  after removing and re-inserting %zu boxes (10%%)\n", chosen.size());
  Row("updates [s]", tOurs, tBoost, "lower is better");
  Row("heap bytes per box", static_cast<double>(tree->MemoryBytes()) / d.Count(),
      boostBytes / d.Count(), "lower is better");
  Queries(d, *tree, *rt, reps);
  Row("heap bytes per box, queried", static_cast<double>(tree->MemoryBytes()) / d.Count(),
      boostBytes / d.Count(), "lower is better");
}

// One box moved again and again among 1,000 others: memory and point-query
// cost as the moves add up. Each move hangs the box one level below its
// removed predecessors, so the path down to it (and each move) grows by one
// level per move, and the moves take quadratic time; the table stops at
// 30,000 moves to keep the run short. Queries pass the removed copies by.
void MoveOneBox(int reps) {
  Data d = RandomData(1000, 5);
  std::printf(
      "moving one box among %d (remove, add shifted by 1e-7)\n  %-12s %16s %16s %14s %14s\n",
      d.Count(), "moves", "box tree [us]", "boost [us]", "tree bytes", "heap growth");
  boxfinder::BoxTree tree;
  tree.BuildFromArrays(d.Count(), d.lo.data(), d.hi.data(), d.ids.data());
  std::vector<BValue> values = BoostValues(d);
  BTree rt(values.begin(), values.end());
  double lo[3] = {0.5, 0.5, 0.5}, hi[3] = {0.51, 0.51, 0.51};
  const int32_t id = 1 << 20;
  auto boostBox = [&] {
    return BValue(BBox(BPoint(lo[0], lo[1], lo[2]), BPoint(hi[0], hi[1], hi[2])), id);
  };
  tree.InsertBox(lo, hi, id);
  rt.insert(boostBox());
  const std::size_t heap0 = HeapInUse();
  const double p[3] = {0.505, 0.505, 0.505};
  Meshkit::List<int> out;
  std::vector<BValue> hits;
  long moves = 0;
  for (long target : {0L, 1000L, 3000L, 10000L, 30000L}) {
    for (; moves < target; ++moves) {
      tree.RemoveBox(lo, hi, id);
      rt.remove(boostBox());
      for (int a = 0; a < 3; ++a) {
        lo[a] += 1e-7;
        hi[a] += 1e-7;
      }
      tree.InsertBox(lo, hi, id);
      rt.insert(boostBox());
    }
    const int nq = 2000;
    std::vector<double> ours, theirs;
    for (int r = 0; r < reps; ++r) {
      ours.push_back(Seconds([&] {
                       for (int q = 0; q < nq; ++q) {
                         tree.RefreshQueryIndex();
                         tree.QueryPoint(p, out);
                       }
                     }) /
                     nq * 1e6);
      theirs.push_back(Seconds([&] {
                         for (int q = 0; q < nq; ++q) {
                           hits.clear();
                           rt.query(bgi::intersects(BPoint(p[0], p[1], p[2])),
                                    std::back_inserter(hits));
                         }
                       }) /
                       nq * 1e6);
    }
    std::printf("  %-12ld %16.3f %16.3f %14zu %14zu\n", moves, Median(ours), Median(theirs),
                tree.MemoryBytes(), HeapInUse() - heap0);
  }
}

}  // namespace

// Running out of memory ends the benchmark with the uncaught exception.
int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape)
  const int reps = argc > 1 ? std::max(1, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 5;
  std::printf("medians of %d repetitions; ratio = box tree / boost rtree\n", reps);
  Run(RandomData(100000, 1), reps, true);
  Run(RandomData(1000000, 2), reps, true);
  Run(MeshData(58), reps, true);
  MoveOneBox(reps);
  return 0;
}
