#include "eightfold_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "written_procedures.h"

using eightfold::ChildIndex;
using eightfold::ChildSign;
using eightfold::EightfoldCell;
using eightfold::EightfoldTree;
using eightfold::FaceDirection;
using eightfold::FaceNeighbourResult;
using eightfold::kFaceDirections;

namespace {

using written::Leaf;
using written::Leaves;
using written::WrittenBalance;
using written::WrittenRefineToSize;
using written::WrittenUniform;

// Centre and half-size of a cell, found by walking up to the root.
Leaf Geometry(const EightfoldTree& tree, const EightfoldCell* cell) {
  std::vector<int> path;
  for (const EightfoldCell* c = cell; c->parent != nullptr; c = c->parent) {
    path.push_back(ChildIndex(c));
  }
  double c[3] = {tree.Centre()[0], tree.Centre()[1], tree.Centre()[2]};
  double h = tree.HalfSize();
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    h /= 2;
    for (int a = 0; a < 3; ++a) c[a] += ChildSign(*it, a) * h;
  }
  return Leaf(c[0], c[1], c[2], h);
}

// True when no leaf has a face neighbour two or more levels coarser.
bool Balanced(EightfoldTree& tree) {
  std::vector<EightfoldCell*> stack{tree.Root()};
  while (!stack.empty()) {
    EightfoldCell* cell = stack.back();
    stack.pop_back();
    if (!cell->IsLeaf()) {
      for (EightfoldCell* c : cell->child) stack.push_back(c);
      continue;
    }
    for (int d = 0; d < kFaceDirections; ++d) {
      FaceNeighbourResult n = tree.FaceNeighbour(cell, static_cast<FaceDirection>(d));
      if (n.cell != nullptr && n.cell->IsLeaf() && n.levelDifference >= 2) return false;
    }
  }
  return true;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// ---- Numbering and construction

TEST(EightfoldNumbering, NewTreeIsOneLeafAnsweringItsHalfSizeEverywhere) {
  EightfoldTree tree(1, 2, 3, 4);
  EXPECT_EQ(Leaves(tree), std::vector<Leaf>{Leaf(1, 2, 3, 4)});
  EXPECT_EQ(tree.ContainingCellSize(1, 2, 3), 4);
  EXPECT_EQ(tree.ContainingCellSize(100, -100, 1e300), 4);
  EXPECT_EQ(tree.CellCount(), 1u);
  EXPECT_EQ(tree.LeafCount(), 1u);
}

TEST(EightfoldNumbering, ChildrenFollowTheIndexTable) {
  EightfoldTree tree(10, 20, 30, 1);
  tree.UniformRefine(0.75);  // in [H/2, H): exactly one split
  std::vector<Leaf> expected = {Leaf(9.5, 20.5, 30.5, 0.5), Leaf(10.5, 20.5, 30.5, 0.5),
                                Leaf(9.5, 19.5, 30.5, 0.5), Leaf(10.5, 19.5, 30.5, 0.5),
                                Leaf(9.5, 20.5, 29.5, 0.5), Leaf(10.5, 20.5, 29.5, 0.5),
                                Leaf(9.5, 19.5, 29.5, 0.5), Leaf(10.5, 19.5, 29.5, 0.5)};
  EXPECT_EQ(Leaves(tree), expected);
  EXPECT_EQ(tree.CellCount(), 9u);
  EXPECT_EQ(tree.LeafCount(), 8u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(tree.Root()->child[i]->parent, tree.Root());
    EXPECT_EQ(ChildIndex(tree.Root()->child[i]), i);
  }
}

TEST(EightfoldNumbering, LeavesAreListedInPreOrder) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.SplitCell(tree.Root());
  tree.SplitCell(tree.Root()->child[1]);
  std::vector<Leaf> leaves = Leaves(tree);
  ASSERT_EQ(leaves.size(), 15u);
  EXPECT_EQ(leaves[0], Leaf(-0.5, 0.5, 0.5, 0.5));
  EXPECT_EQ(leaves[1], Leaf(0.25, 0.75, 0.75, 0.25));  // child 1's child 0
  EXPECT_EQ(leaves[8], Leaf(0.75, 0.25, 0.25, 0.25));  // child 1's child 7
  EXPECT_EQ(leaves[9], Leaf(-0.5, -0.5, 0.5, 0.5));    // then child 2
}

TEST(EightfoldNumbering, SplitCellFillsOnlyEmptySlots) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.SplitCell(tree.Root());
  EightfoldCell* first = tree.Root()->child[0];
  tree.SplitCell(tree.Root());
  EXPECT_EQ(tree.Root()->child[0], first);
  EXPECT_EQ(tree.CellCount(), 9u);
}

// ---- Point location

TEST(EightfoldLocation, PointsOnDividingPlanesBelongToThePositiveSide) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(0.5, 0.5, 0.5, 0.25);  // splits only child 1 (+x +y +z)
  EXPECT_EQ(tree.LeafCount(), 15u);
  EXPECT_EQ(tree.ContainingCellSize(0, 0.5, 0.5), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(0.5, 0, 0.5), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(0.5, 0.5, 0), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(0, 0, 0), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(-1e-300, 0.5, 0.5), 0.5);
  EXPECT_EQ(tree.ContainingCellSize(0.5, -1e-300, 0.5), 0.5);
  EXPECT_EQ(tree.ContainingCellSize(0.5, 0.5, -1e-300), 0.5);
}

TEST(EightfoldLocation, OutsidePointsAndNonFiniteCoordinatesFindABoundaryLeaf) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(0.5, 0.5, 0.5, 0.25);
  EXPECT_EQ(tree.ContainingCellSize(50, 50, 50), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(kInf, kInf, kInf), 0.25);
  EXPECT_EQ(tree.ContainingCellSize(-50, 50, 50), 0.5);
  // NaN compares false: not the +x side, and the -y and -z sides.
  EXPECT_EQ(tree.ContainingCellSize(kNaN, 0.5, 0.5), 0.5);
  EXPECT_EQ(tree.ContainingCellSize(0.5, kNaN, 0.5), 0.5);
}

// ---- Refinement around a point

TEST(EightfoldRefine, SizeAtOrAboveTheRootHalfSizeChangesNothing) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(0.1, 0.2, 0.3, 1);
  tree.RefineToSize(0.1, 0.2, 0.3, 5);
  tree.UniformRefine(1);
  EXPECT_EQ(tree.CellCount(), 1u);
}

TEST(EightfoldRefine, UnusableSizesAndRootsChangeNothing) {
  EightfoldTree tree(0, 0, 0, 1);
  for (double size : {0.0, -1.0, -kInf, kInf, kNaN}) {
    tree.RefineToSize(0, 0, 0, size);
    EXPECT_TRUE(tree.UniformRefine(size));
  }
  EXPECT_EQ(tree.CellCount(), 1u);
  for (double half : {kNaN, kInf, 0.0, -1.0}) {
    EightfoldTree odd(0, 0, 0, half);
    odd.RefineToSize(0, 0, 0, 0.1);
    EXPECT_TRUE(odd.UniformRefine(0.1));
    odd.RefineOneLevelDiff();
    EXPECT_EQ(odd.CellCount(), 1u);
  }
}

TEST(EightfoldRefine, FarOutsidePointSplitsOnlyTheRoot) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(1.06, 0, 0, 0.01);
  EXPECT_EQ(tree.CellCount(), 9u);
  tree.RefineToSize(kNaN, 0, 0, 0.01);
  tree.RefineToSize(kInf, 0, 0, 0.01);
  EXPECT_EQ(tree.CellCount(), 9u);
}

TEST(EightfoldRefine, PointJustOutsideTheFaceStillRefinesTheBoundaryCells) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(1.04, 0.5, 0.5, 0.25);
  // Within 5% of the +x face: the +x +y +z child is split, nothing else.
  EXPECT_EQ(tree.CellCount(), 17u);
  EXPECT_FALSE(tree.Root()->child[1]->IsLeaf());
}

TEST(EightfoldRefine, PointNearADividingPlaneRefinesBothSides) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(0.04, 0.5, 0.5, 0.25);  // 4% of the half-size from x = 0
  EXPECT_FALSE(tree.Root()->child[0]->IsLeaf());
  EXPECT_FALSE(tree.Root()->child[1]->IsLeaf());
  EXPECT_EQ(tree.CellCount(), 25u);
  EightfoldTree beyond(0, 0, 0, 1);
  beyond.RefineToSize(0.06, 0.5, 0.5, 0.25);
  EXPECT_TRUE(beyond.Root()->child[0]->IsLeaf());
  EXPECT_EQ(beyond.CellCount(), 17u);
}

TEST(EightfoldRefine, RootCentreRefinesTheEightCellsMeetingThereAtEveryLevel) {
  EightfoldTree tree(0, 0, 0, 1);
  const int depth = 6;
  tree.RefineToSize(0, 0, 0, std::ldexp(1.0, -depth));
  // Root split, then at each deeper level the 8 cells touching the centre.
  EXPECT_EQ(tree.CellCount(), 1u + 8u + 64u * (depth - 1));
  for (double sx : {-1.0, 1.0}) {
    for (double sy : {-1.0, 1.0}) {
      for (double sz : {-1.0, 1.0}) {
        EXPECT_EQ(tree.ContainingCellSize(sx * 1e-9, sy * 1e-9, sz * 1e-9),
                  std::ldexp(1.0, -depth));
      }
    }
  }
}

TEST(EightfoldRefine, MatchesTheRecursiveProcedureOnRandomPoints) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> coord(-1.3, 1.3);
  std::uniform_int_distribution<int> depth(0, 7);
  for (int trial = 0; trial < 300; ++trial) {
    EightfoldTree ours(0.25, -0.5, 1, 1);
    EightfoldTree written(0.25, -0.5, 1, 1);
    int points = 1 + trial % 4;
    for (int k = 0; k < points; ++k) {
      double x = 0.25 + coord(rng), y = -0.5 + coord(rng), z = 1 + coord(rng);
      if (trial % 5 == 0) x = 0.25 + 0.5 * (k % 3 - 1);  // on dividing planes
      double size = std::ldexp(1.0, -depth(rng)) * (trial % 3 == 0 ? 0.7 : 1.0);
      ours.RefineToSize(x, y, z, size);
      WrittenRefineToSize(written, x, y, z, size);
    }
    ASSERT_EQ(Leaves(ours), Leaves(written)) << "trial " << trial;
    EXPECT_EQ(ours.CellCount(), written.CellCount());
  }
}

TEST(EightfoldRefine, DeepRefinementDoesNotExhaustTheStack) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.RefineToSize(0, 0, 0, 1e-300);
  EXPECT_GT(tree.CellCount(), 60000u);
  EXPECT_LE(tree.ContainingCellSize(0, 0, 0), 1e-300);
  std::size_t leaves = 0;
  tree.VisitLeaves([&](double, double, double, double) { ++leaves; });
  EXPECT_EQ(leaves, tree.LeafCount());
  tree.RefineOneLevelDiff();
  EXPECT_TRUE(Balanced(tree));
  // Subnormal sizes end too, once the half-sizes reach them (over 1,000
  // levels; the last ones lose their tolerance to underflow).
  EightfoldTree tiny(0, 0, 0, 1);
  tiny.RefineToSize(0, 0, 0, std::numeric_limits<double>::denorm_min());
  EXPECT_GT(tiny.CellCount(), 64u * 1070u);
  EXPECT_EQ(tiny.ContainingCellSize(0, 0, 0), std::ldexp(1.0, -1072));
  // Away from zero the centres stop moving once the half-size is below
  // their precision, and the point then touches no child: refinement ends.
  EightfoldTree offset(0, 0, 0, 1);
  offset.RefineToSize(0.3, 0.3, 0.3, std::numeric_limits<double>::denorm_min());
  EXPECT_LT(offset.CellCount(), 1000u);
  // Destroying both deep trees at the end of the scope must not recurse.
}

// ---- Uniform refinement

TEST(EightfoldUniform, RefinesEveryLeafAndKeepsFinerCells) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.UniformRefine(0.25);
  EXPECT_EQ(tree.LeafCount(), 64u);
  for (const Leaf& leaf : Leaves(tree)) EXPECT_EQ(std::get<3>(leaf), 0.25);
  tree.RefineToSize(0.3, 0.3, 0.3, 0.01);
  std::size_t before = tree.CellCount();
  tree.UniformRefine(0.25);
  EXPECT_EQ(tree.CellCount(), before);
  EXPECT_EQ(tree.ContainingCellSize(0.3, 0.3, 0.3), 0.0078125);
}

TEST(EightfoldUniform, MatchesTheRecursiveProcedureAndItsCellEstimate) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> coord(-1, 1);
  for (int trial = 0; trial < 100; ++trial) {
    EightfoldTree ours(0, 0, 0, 2);
    EightfoldTree written(0, 0, 0, 2);
    double x = coord(rng), y = coord(rng), z = coord(rng);
    double fine = std::ldexp(1.0, -(trial % 5));
    ours.RefineToSize(x, y, z, fine);
    WrittenRefineToSize(written, x, y, z, fine);
    double size = std::ldexp(1.7, -(trial % 4));
    double estimate = ours.UniformRefineNewCells(size);
    std::size_t before = ours.CellCount();
    ASSERT_TRUE(ours.UniformRefine(size));
    WrittenUniform(written, written.Root(), written.HalfSize(), size);
    ASSERT_EQ(Leaves(ours), Leaves(written)) << "trial " << trial;
    EXPECT_EQ(static_cast<double>(ours.CellCount() - before), estimate);
  }
}

TEST(EightfoldUniform, RefusesToOutgrowTheCellLimitAndStaysUsable) {
  EightfoldTree tree(0, 0, 0, 1);
  EXPECT_FALSE(tree.UniformRefine(1e-30));  // 8^100 cells
  EXPECT_FALSE(tree.UniformRefine(std::numeric_limits<double>::denorm_min()));
  EXPECT_EQ(tree.CellCount(), 1u);
  tree.SetCellLimit(600);
  EXPECT_TRUE(tree.UniformRefine(0.25));   // 1 + 8 + 64 cells
  EXPECT_TRUE(tree.UniformRefine(0.125));  // and 512 more: 585
  EXPECT_FALSE(tree.UniformRefine(0.0625));
  EXPECT_EQ(tree.CellCount(), 585u);
  tree.RefineToSize(0, 0, 0, 0.0625);  // other refinements are not limited
  EXPECT_GT(tree.CellCount(), 585u);
  EXPECT_GT(EightfoldTree::ObtainableBytes(), 1e6);
}

// ---- Face neighbours

TEST(EightfoldNeighbours, SameSizeNeighbourInEachOfTheSixDirections) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.UniformRefine(0.25);  // a 4 x 4 x 4 grid
  const double step[kFaceDirections][3] = {{0, 1, 0}, {0, -1, 0}, {-1, 0, 0},
                                           {1, 0, 0}, {0, 0, 1},  {0, 0, -1}};
  std::vector<EightfoldCell*> cells;
  for (EightfoldCell* c : tree.Root()->child) {
    for (EightfoldCell* g : c->child) cells.push_back(g);
  }
  int found = 0, boundary = 0;
  for (EightfoldCell* cell : cells) {
    Leaf g = Geometry(tree, cell);
    for (int d = 0; d < kFaceDirections; ++d) {
      FaceNeighbourResult n = tree.FaceNeighbour(cell, static_cast<FaceDirection>(d));
      double x = std::get<0>(g) + 0.5 * step[d][0];
      double y = std::get<1>(g) + 0.5 * step[d][1];
      double z = std::get<2>(g) + 0.5 * step[d][2];
      if (std::fabs(x) > 1 || std::fabs(y) > 1 || std::fabs(z) > 1) {
        EXPECT_EQ(n.cell, nullptr);
        ++boundary;
        continue;
      }
      ASSERT_NE(n.cell, nullptr);
      EXPECT_EQ(n.levelDifference, 0);
      EXPECT_EQ(Geometry(tree, n.cell), Leaf(x, y, z, 0.25));
      ++found;
    }
  }
  EXPECT_EQ(found, 64 * 6 - 96);
  EXPECT_EQ(boundary, 96);
}

TEST(EightfoldNeighbours, CoarserAndFinerNeighboursAndTheRoot) {
  EightfoldTree tree(0, 0, 0, 1);
  EXPECT_EQ(tree.FaceNeighbour(tree.Root(), FaceDirection::PlusX).cell, nullptr);
  tree.SplitCell(tree.Root());
  EightfoldCell* right = tree.Root()->child[1];  // +x +y +z
  tree.SplitCell(right);
  tree.SplitCell(right->child[0]);  // -x corner of the +x child
  EightfoldCell* deep = right->child[0]->child[0];
  // Across -x lies the root's child 0, a leaf two levels coarser.
  FaceNeighbourResult n = tree.FaceNeighbour(deep, FaceDirection::MinusX);
  EXPECT_EQ(n.cell, tree.Root()->child[0]);
  EXPECT_EQ(n.levelDifference, 2);
  // From child 0 towards +x: the same-size child 1, which has children.
  n = tree.FaceNeighbour(tree.Root()->child[0], FaceDirection::PlusX);
  EXPECT_EQ(n.cell, right);
  EXPECT_EQ(n.levelDifference, 0);
  // Inside the root cube but on its boundary on +y.
  EXPECT_EQ(tree.FaceNeighbour(deep, FaceDirection::PlusY).cell, nullptr);
  EXPECT_FALSE(Balanced(tree));
}

TEST(EightfoldNeighbours, PathStackStartsEmptyAndGrowsByTen) {
  EightfoldTree tree(0, 0, 0, 1);
  EXPECT_EQ(tree.PathStackCapacity(), 0);
  tree.RefineToSize(0.999999, 0.999999, 0.999999, std::ldexp(1.0, -25));
  EightfoldCell* cell = tree.Root();
  while (!cell->IsLeaf()) cell = cell->child[1];
  // Every step climbs the +x side until the root: no neighbour.
  EXPECT_EQ(tree.FaceNeighbour(cell, FaceDirection::PlusX).cell, nullptr);
  EXPECT_EQ(tree.PathStackCapacity(), 30);
  FaceNeighbourResult n = tree.FaceNeighbour(cell, FaceDirection::MinusX);
  EXPECT_EQ(n.levelDifference, 0);
  EXPECT_EQ(tree.PathStackCapacity(), 30);
}

// ---- Balancing

TEST(EightfoldBalance, UniformTreesAndSingleLeavesAreAlreadyBalanced) {
  EightfoldTree single(0, 0, 0, 1);
  single.RefineOneLevelDiff();
  EXPECT_EQ(single.CellCount(), 1u);
  EightfoldTree uniform(0, 0, 0, 1);
  uniform.UniformRefine(0.125);
  uniform.RefineOneLevelDiff();
  EXPECT_EQ(uniform.CellCount(), 585u);
}

TEST(EightfoldBalance, SplitsTheCoarseFaceNeighbourAndIsIdempotent) {
  EightfoldTree tree(0, 0, 0, 1);
  tree.SplitCell(tree.Root());
  EightfoldCell* right = tree.Root()->child[1];
  tree.SplitCell(right);
  tree.SplitCell(right->child[0]);
  tree.RefineOneLevelDiff();
  EXPECT_TRUE(Balanced(tree));
  // Only the -x neighbour of the deep cells is too coarse; the cells
  // across their other faces are siblings one level coarser or lie
  // outside the cube.
  EXPECT_FALSE(tree.Root()->child[0]->IsLeaf());
  for (int i = 2; i < 8; ++i) EXPECT_TRUE(tree.Root()->child[i]->IsLeaf()) << i;
  EXPECT_EQ(tree.CellCount(), 33u);
  std::vector<Leaf> once = Leaves(tree);
  tree.RefineOneLevelDiff();
  EXPECT_EQ(Leaves(tree), once);
}

// Random trees: points inside, near and outside the cube at random depths,
// repeated balancing between refinements and uniform refinement mixed in.
TEST(EightfoldBalance, MatchesTheRestartingDriverOnRandomRefinements) {
  std::mt19937_64 rng(2026);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> depthOf(1, 6);
  int balancedSplits = 0;
  for (int trial = 0; trial < 400; ++trial) {
    double cx = 3 * unit(rng), cy = 3 * unit(rng), cz = 3 * unit(rng);
    double h = std::ldexp(1.0 + std::fabs(unit(rng)), trial % 5 - 2);
    EightfoldTree ours(cx, cy, cz, h);
    EightfoldTree written(cx, cy, cz, h);
    int rounds = 1 + trial % 3;
    for (int r = 0; r < rounds; ++r) {
      int points = 1 + static_cast<int>(rng() % 5);
      for (int k = 0; k < points; ++k) {
        double reach = (trial % 7 == 0) ? 1.2 : 1.0;
        double x = cx + reach * h * unit(rng);
        double y = cy + reach * h * unit(rng);
        double z = cz + reach * h * unit(rng);
        double size = h * std::ldexp(1.0, -depthOf(rng)) * (rng() % 2 ? 1.0 : 0.8);
        ours.RefineToSize(x, y, z, size);
        WrittenRefineToSize(written, x, y, z, size);
      }
      if (trial % 11 == 0 && r == 0) {
        ours.UniformRefine(h / 4);
        WrittenUniform(written, written.Root(), written.HalfSize(), h / 4);
      }
      std::size_t before = ours.CellCount();
      ours.RefineOneLevelDiff();
      WrittenBalance(written);
      balancedSplits += ours.CellCount() != before;
      ASSERT_EQ(Leaves(ours), Leaves(written)) << "trial " << trial << " round " << r;
      ASSERT_EQ(ours.LeafCount(), written.LeafCount());
      ASSERT_TRUE(Balanced(ours));
    }
  }
  EXPECT_GT(balancedSplits, 200);  // most cases had something to balance
}

TEST(EightfoldBalance, DeepPointBalancesLikeTheDriver) {
  EightfoldTree ours(0, 0, 0, 1);
  EightfoldTree written(0, 0, 0, 1);
  ours.RefineToSize(0.3141, -0.2718, 0.1618, std::ldexp(1.0, -12));
  WrittenRefineToSize(written, 0.3141, -0.2718, 0.1618, std::ldexp(1.0, -12));
  ours.RefineOneLevelDiff();
  WrittenBalance(written);
  EXPECT_EQ(Leaves(ours), Leaves(written));
  EXPECT_GT(ours.LeafCount(), 700u);
}

}  // namespace
