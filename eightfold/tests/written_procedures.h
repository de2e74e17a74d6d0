// The octree's refinement and balancing procedures as first written: plain
// recursion, and a balancing driver that rescans from the root after every
// pass that split anything. The tree's own versions must match them; the
// native tests and the fuzz target compare against these. The recursion is
// as deep as the tree, so callers keep trees shallow.
#pragma once

#include <tuple>
#include <vector>

#include "eightfold_tree.h"

namespace written {

using eightfold::EightfoldCell;
using eightfold::EightfoldTree;
using eightfold::FaceDirection;
using eightfold::FaceNeighbourResult;
using eightfold::kFaceDirections;

// A leaf as (centre x, y, z, half-size).
using Leaf = std::tuple<double, double, double, double>;

inline std::vector<Leaf> Leaves(const EightfoldTree& tree) {
  std::vector<Leaf> out;
  tree.VisitLeaves([&](double x, double y, double z, double h) { out.emplace_back(x, y, z, h); });
  return out;
}

inline void WrittenRefine(EightfoldTree& tree, EightfoldCell* cell, const double c[3], double h,
                          const double p[3], double size) {
  if (size >= h) return;
  double t = 0.05 * h;
  tree.SplitCell(cell);
  bool pos[3], neg[3];
  for (int a = 0; a < 3; ++a) {
    pos[a] = c[a] - t < p[a] && p[a] < c[a] + h + t;
    neg[a] = c[a] - h - t < p[a] && p[a] < c[a] + t;
  }
  h /= 2;
  for (int i = 0; i < 8; ++i) {
    bool xs = (i & 1) ? pos[0] : neg[0];
    bool ys = (i & 2) ? neg[1] : pos[1];
    bool zs = (i & 4) ? neg[2] : pos[2];
    if (!(xs && ys && zs)) continue;
    double cc[3] = {c[0] + ((i & 1) ? h : -h), c[1] + ((i & 2) ? -h : h),
                    c[2] + ((i & 4) ? -h : h)};
    WrittenRefine(tree, cell->child[i], cc, h, p, size);
  }
}

inline void WrittenRefineToSize(EightfoldTree& tree, double x, double y, double z, double size) {
  const double p[3] = {x, y, z};
  WrittenRefine(tree, tree.Root(), tree.Centre(), tree.HalfSize(), p, size);
}

inline void WrittenUniform(EightfoldTree& tree, EightfoldCell* cell, double h, double size) {
  if (size >= h) return;
  if (cell->IsLeaf()) tree.SplitCell(cell);
  h /= 2;
  for (int i = 0; i < 8; ++i) WrittenUniform(tree, cell->child[i], h, size);
}

inline bool WrittenBalancePass(EightfoldTree& tree, EightfoldCell* cell, int level) {
  if (!cell->IsLeaf()) {
    for (int i = 0; i < 8; ++i) {
      if (WrittenBalancePass(tree, cell->child[i], level + 1)) return true;
    }
    return false;
  }
  bool split = false;
  for (int d = 0; d < kFaceDirections; ++d) {
    FaceNeighbourResult n = tree.FaceNeighbour(cell, static_cast<FaceDirection>(d));
    if (n.cell != nullptr && n.cell->IsLeaf() && n.levelDifference >= 2) {
      tree.SplitCell(n.cell);
      WrittenBalancePass(tree, n.cell, level - n.levelDifference);
      split = true;
    }
  }
  return split;
}

inline void WrittenBalance(EightfoldTree& tree) {
  while (WrittenBalancePass(tree, tree.Root(), 1)) {}
}

}  // namespace written
