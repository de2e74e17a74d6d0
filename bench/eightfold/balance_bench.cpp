// Octree balancing, side by side with a reference library's face balance.
//
// For every workload the same unbalanced tree is built twice: as an
// EightfoldTree (root centre 0, half-size 1) and as a one-tree unit-cube
// forest of the reference library holding exactly the same leaves. Each is
// then balanced across faces; only the balancing is timed. The balanced leaf
// sets are compared, and the table reports the median time per output leaf
// of several repetitions and our time over the reference's.
//
// Also measured: RefineToSize cost per new cell and heap bytes per cell.
#include <malloc.h>
#include <mpi.h>
#include <p8est.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "eightfold_tree.h"

using eightfold::EightfoldCell;
using eightfold::EightfoldTree;

namespace {

struct Point {
  double x, y, z;
};

struct Workload {
  std::string name;
  std::vector<Point> points;
  int depth;
};

// Points spread evenly over a sphere of radius r about the origin.
std::vector<Point> Sphere(int count, double r) {
  std::vector<Point> out;
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i) {
    double z = 1.0 - 2.0 * (i + 0.5) / count;
    double ring = std::sqrt(1.0 - z * z);
    double phi = golden * i;
    out.push_back(Point{r * ring * std::cos(phi), r * ring * std::sin(phi), r * z});
  }
  return out;
}

void Refine(EightfoldTree& tree, const Workload& w) {
  double size = std::ldexp(1.0, -w.depth);
  for (const Point& p : w.points) tree.RefineToSize(p.x, p.y, p.z, size);
}

using Octant = std::tuple<int, long, long, long>;  // level, corner x, y, z

std::vector<Octant> OurOctants(const EightfoldTree& tree) {
  std::vector<Octant> out;
  const double scale = static_cast<double>(P8EST_ROOT_LEN) / 2.0;
  tree.VisitLeaves([&](double x, double y, double z, double h) {
    int level = static_cast<int>(std::lround(-std::log2(h)));
    out.emplace_back(level, std::lround((x - h + 1) * scale), std::lround((y - h + 1) * scale),
                     std::lround((z - h + 1) * scale));
  });
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<Octant> ReferenceOctants(p8est_t* forest) {
  std::vector<Octant> out;
  p8est_tree_t* tree = p8est_tree_array_index(forest->trees, 0);
  for (size_t i = 0; i < tree->quadrants.elem_count; ++i) {
    p8est_quadrant_t* q = p8est_quadrant_array_index(&tree->quadrants, i);
    out.emplace_back(static_cast<int>(q->level), static_cast<long>(q->x), static_cast<long>(q->y),
                     static_cast<long>(q->z));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The unbalanced tree the reference forest is refined to match.
const EightfoldTree* gPattern = nullptr;

int SplitLikePattern(p8est_t*, p4est_topidx_t, p8est_quadrant_t* q) {
  const EightfoldCell* cell = gPattern->Root();
  for (int level = 0; level < q->level; ++level) {
    if (cell->IsLeaf()) return 0;
    int bit = P8EST_MAXLEVEL - level - 1;
    int i = 0;
    if ((q->x >> bit) & 1) i |= 1;
    if (!((q->y >> bit) & 1)) i |= 2;  // y and z children count from +
    if (!((q->z >> bit) & 1)) i |= 4;
    cell = cell->child[i];
  }
  return cell->IsLeaf() ? 0 : 1;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  sc_init(MPI_COMM_WORLD, 0, 0, nullptr, SC_LP_SILENT);
  p4est_init(nullptr, SC_LP_SILENT);
  const int reps = argc > 1 ? static_cast<int>(std::strtol(argv[1], nullptr, 10)) : 5;

  std::vector<Workload> workloads;
  for (int depth : {8, 12, 18}) {
    workloads.push_back({"1 point", {Point{0.3141, -0.2718, 0.1618}}, depth});
  }
  for (int count : {200, 2000}) {
    for (int depth : {7, 8, 9}) {
      workloads.push_back({std::to_string(count) + " points", Sphere(count, 0.5), depth});
    }
  }

  std::printf("Face balancing, median of %d runs (ns per output leaf)\n", reps);
  std::printf("%-12s %5s %9s %9s %10s %10s %7s %9s\n", "workload", "depth", "leaves in",
              "leaves out", "Eightfold", "reference", "ratio", "identical");
  bool allSame = true;
  std::vector<double> refinePerCell, bytesPerCell, heldPerCell;
  for (const Workload& w : workloads) {
    std::vector<double> ours, theirs, refine;
    size_t leavesIn = 0, leavesOut = 0;
    bool same = true;
    p8est_connectivity_t* conn = p8est_connectivity_new_unitcube();
    p8est_t* unbalanced = nullptr;
    for (int r = 0; r < reps; ++r) {
      struct mallinfo2 before = {};
      if (r == 0) before = mallinfo2();
      auto t0 = std::chrono::steady_clock::now();
      EightfoldTree tree(0, 0, 0, 1);
      Refine(tree, w);
      auto t1 = std::chrono::steady_clock::now();
      refine.push_back(Seconds(t0, t1) / static_cast<double>(tree.CellCount() - 1));
      if (r == 0) {
        struct mallinfo2 after = mallinfo2();
        double heap = static_cast<double>((after.uordblks + after.hblkhd) -
                                          (before.uordblks + before.hblkhd));
        bytesPerCell.push_back(heap / static_cast<double>(tree.CellCount()));
        heldPerCell.push_back(static_cast<double>(tree.AllocatedBytes()) /
                              static_cast<double>(tree.CellCount()));
        leavesIn = tree.LeafCount();
        gPattern = &tree;
        unbalanced = p8est_new(MPI_COMM_WORLD, conn, 0, nullptr, nullptr);
        p8est_refine(unbalanced, 1, SplitLikePattern, nullptr);
        gPattern = nullptr;
        if (static_cast<size_t>(unbalanced->local_num_quadrants) != leavesIn) {
          std::printf("reference forest does not match the tree\n");
          return 1;
        }
      }
      auto t2 = std::chrono::steady_clock::now();
      tree.RefineOneLevelDiff();
      auto t3 = std::chrono::steady_clock::now();
      leavesOut = tree.LeafCount();
      ours.push_back(Seconds(t2, t3) / static_cast<double>(leavesOut));

      p8est_t* forest = p8est_copy(unbalanced, 0);
      auto t4 = std::chrono::steady_clock::now();
      p8est_balance(forest, P8EST_CONNECT_FACE, nullptr);
      auto t5 = std::chrono::steady_clock::now();
      theirs.push_back(Seconds(t4, t5) / static_cast<double>(forest->local_num_quadrants));
      if (r == 0) same = OurOctants(tree) == ReferenceOctants(forest);
      p8est_destroy(forest);
    }
    p8est_destroy(unbalanced);
    p8est_connectivity_destroy(conn);
    allSame = allSame && same;
    double a = Median(ours) * 1e9, b = Median(theirs) * 1e9;
    refinePerCell.push_back(Median(refine) * 1e9);
    std::printf("%-12s %5d %9zu %10zu %10.1f %10.1f %7.3f %9s\n", w.name.c_str(), w.depth, leavesIn,
                leavesOut, a, b, a / b, same ? "yes" : "NO");
  }
  std::printf("\nRefineToSize, median ns per new cell:");
  for (double v : refinePerCell) std::printf(" %.1f", v);
  std::printf("\nHeap bytes per cell after RefineToSize (cell record %zu bytes):",
              sizeof(EightfoldCell));
  for (double v : bytesPerCell) std::printf(" %.1f", v);
  std::printf("\nBytes per cell held by the tree:");
  for (double v : heldPerCell) std::printf(" %.1f", v);
  std::printf("\n");

  sc_finalize();
  MPI_Finalize();
  return allSame ? 0 : 1;
}
