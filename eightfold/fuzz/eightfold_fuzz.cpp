// Fuzz target of the octree: the input bytes decode into a root cube and a
// sequence of refinements, balancings and point locations, applied both to
// a tree driven by its own walks and to one driven by the procedures as
// first written (eightfold/tests/written_procedures.h). The two must keep
// identical leaves; the cell counts, the UniformRefine estimate and point
// location must find each leaf at its own centre; unusable sizes and
// refused refinements must change nothing.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "../tests/written_procedures.h"
#include "byte_reader.h"
#include "eightfold_tree.h"

using eightfold::EightfoldTree;

namespace {

// Stops the run with a crash report, which libFuzzer turns into a finding.
void Check(bool holds) {
  if (!holds) std::abort();
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Trees stay a few levels deep: the written procedures recurse, and the
// balancing driver rescans the whole tree after every pass.
constexpr int kMaxLevels = 5;
constexpr int kMaxUniformLevels = 3;
constexpr int kMaxOperations = 12;

// A coordinate: mostly on a grid around the cube that hits its dividing
// planes and the 5% bands around them, sometimes not finite.
double Coordinate(ByteReader& in, double centre, double h) {
  int pick = in.Below(40);
  if (pick == 37) return kNaN;
  if (pick == 38) return kInf;
  if (pick == 39) return -kInf;
  return centre + h * (pick - 18) / 16.0 + h * (in.Below(3) - 1) * 0.05 / 8;
}

// A size for a refinement: half-sizes of levels 0 to `levels`, give or take
// a little, or (rarely) one the tree must refuse.
double Size(ByteReader& in, double h, int levels) {
  int pick = in.Below(4 * (levels + 1) + 4);
  static const double kUnusable[4] = {0.0, -1.0, kNaN, kInf};
  if (pick >= 4 * (levels + 1)) return kUnusable[pick - 4 * (levels + 1)];
  static const double kNudge[4] = {1.0, 1.5, 0.999, 1.001};
  return std::ldexp(h, -(pick / 4)) * kNudge[pick % 4];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  static const double kHalfSizes[4] = {1.0, 0.75, 3.0, 0.125};
  double h = kHalfSizes[in.Below(4)];
  double c[3] = {in.Grid(-2, 0.5, 9), in.Grid(-2, 0.5, 9), in.Grid(-2, 0.5, 9)};
  EightfoldTree ours(c[0], c[1], c[2], h);
  EightfoldTree reference(c[0], c[1], c[2], h);
  for (int op = 0; op < kMaxOperations && !in.Done(); ++op) {
    switch (in.Below(3)) {
      case 0: {
        double p[3];
        for (int a = 0; a < 3; ++a) p[a] = Coordinate(in, c[a], h);
        double s = Size(in, h, kMaxLevels);
        ours.RefineToSize(p[0], p[1], p[2], s);
        if (EightfoldTree::IsUsableSize(s))
          written::WrittenRefineToSize(reference, p[0], p[1], p[2], s);
        break;
      }
      case 1: {
        double s = Size(in, h, kMaxUniformLevels);
        if (in.Below(4) == 0) ours.SetCellLimit(static_cast<double>(in.Byte()) * 64);
        double estimate = ours.UniformRefineNewCells(s);
        std::size_t before = ours.CellCount();
        if (ours.UniformRefine(s)) {
          Check(static_cast<double>(ours.CellCount() - before) == estimate);
          if (EightfoldTree::IsUsableSize(s)) {
            written::WrittenUniform(reference, reference.Root(), reference.HalfSize(), s);
          }
        } else {
          Check(ours.CellCount() == before);  // refused: nothing made
        }
        ours.SetCellLimit(kInf);
        break;
      }
      default:
        ours.RefineOneLevelDiff();
        written::WrittenBalance(reference);
        break;
    }
    std::vector<written::Leaf> leaves = written::Leaves(ours);
    Check(leaves == written::Leaves(reference));
    Check(leaves.size() == ours.LeafCount());
    Check(ours.CellCount() == reference.CellCount());
  }
  // Every leaf's centre lies in that leaf.
  ours.VisitLeaves([&](double x, double y, double z, double leafH) {
    Check(ours.ContainingCellSize(x, y, z) == leafH);
  });
  return 0;
}
