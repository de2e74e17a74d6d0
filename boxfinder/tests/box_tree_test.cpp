#include "box_tree.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "float_bounds.h"
#include "grid_tetrahedra.h"
#include "literal_tree.h"

namespace {

using boxfinder::BoxNode;
using boxfinder::BoxTree;

struct Boxes {
  std::vector<double> lo, hi;
  std::vector<int32_t> ids;
  int Count() const { return static_cast<int>(ids.size()); }
  void Add(const double l[3], const double h[3], int32_t id) {
    lo.insert(lo.end(), l, l + 3);
    hi.insert(hi.end(), h, h + 3);
    ids.push_back(id);
  }
};

std::vector<int> ToVector(const Meshkit::List<int>& list) {
  return std::vector<int>(list.Data(), list.Data() + list.Count());
}

// The tree in linked form (valid until the next call on this thread).
const BoxNode* Root(const BoxTree& t) {
  thread_local std::vector<BoxNode> nodes;
  return t.ExportNodes(nodes);
}

std::vector<int> Point(const BoxTree& t, const double p[3]) {
  Meshkit::List<int> out;
  t.QueryPoint(p, out);
  return ToVector(out);
}
std::vector<int> Range(const BoxTree& t, const double lo[3], const double hi[3]) {
  Meshkit::List<int> out;
  t.QueryRange(lo, hi, out);
  return ToVector(out);
}

// Exhaustive answer: every active node in pre-order, no pruning at all.
template <class Match>
std::vector<int> Scan(const BoxNode* root, Match match) {
  std::vector<int> out;
  std::vector<const BoxNode*> stack;
  if (root) stack.push_back(root);
  while (!stack.empty()) {
    const BoxNode* n = stack.back();
    stack.pop_back();
    if (n->active && match(n)) out.push_back(n->clientId);
    if (n->right) stack.push_back(n->right);
    if (n->left) stack.push_back(n->left);
  }
  return out;
}
std::vector<int> ScanPoint(const BoxNode* root, const double p[3]) {
  return Scan(root, [p](const BoxNode* n) {
    for (int a = 0; a < 3; ++a)
      if (!(n->lo[a] <= p[a] && p[a] <= n->hi[a])) return false;
    return true;
  });
}
std::vector<int> ScanRange(const BoxNode* root, const double lo[3], const double hi[3]) {
  return Scan(root, [lo, hi](const BoxNode* n) {
    for (int a = 0; a < 3; ++a)
      if (!(hi[a] >= n->lo[a] && n->hi[a] >= lo[a])) return false;
    return true;
  });
}

// Same shape, contents and subtree boxes, node by node in pre-order.
void ExpectSameTree(const BoxNode* a, const BoxNode* b) {
  std::vector<std::pair<const BoxNode*, const BoxNode*>> stack{{a, b}};
  while (!stack.empty()) {
    auto [x, y] = stack.back();
    stack.pop_back();
    ASSERT_EQ(x == nullptr, y == nullptr);
    if (!x) continue;
    ASSERT_EQ(x->clientId, y->clientId);
    ASSERT_EQ(x->active, y->active);
    ASSERT_EQ(0, std::memcmp(x->lo, y->lo, sizeof x->lo));
    ASSERT_EQ(0, std::memcmp(x->hi, y->hi, sizeof x->hi));
    ASSERT_EQ(0, std::memcmp(x->centre, y->centre, sizeof x->centre));
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(x->subtreeLo[k], y->subtreeLo[k]);
      ASSERT_EQ(x->subtreeHi[k], y->subtreeHi[k]);
    }
    stack.push_back({x->right, y->right});
    stack.push_back({x->left, y->left});
  }
}

Boxes RandomBoxes(std::mt19937& rng, int n, double edge, int idRange) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<int> id(0, idRange);
  Boxes b;
  for (int i = 0; i < n; ++i) {
    double l[3], h[3];
    for (int a = 0; a < 3; ++a) {
      l[a] = u(rng);
      h[a] = l[a] + edge * u(rng);
    }
    b.Add(l, h, id(rng));
  }
  return b;
}

Boxes MeshBoxes(int cells) {
  Boxes b;
  int id = 0;
  boxfinder::ForEachGridTetrahedronBox(
      cells, [&](const double* l, const double* u) { b.Add(l, u, id++); });
  return b;
}

// Production tree and literal rendering compared on a set of queries: same
// shape, and every query path gives the literal query's list, which is also
// the exhaustive scan's.
void ExpectSameAnswers(BoxTree& tree, const literal::Tree& ref, std::mt19937& rng, int queries,
                       double span) {
  ExpectSameTree(Root(tree), ref.root);
  std::uniform_real_distribution<double> u(-0.05, 1.05);
  std::uniform_real_distribution<double> e(0.0, span);
  for (int q = 0; q < queries; ++q) {
    const double p[3] = {u(rng), u(rng), u(rng)};
    const std::vector<int> expected = literal::QueryPoint(ref.root, p);
    ASSERT_EQ(expected, ScanPoint(ref.root, p));
    ASSERT_EQ(expected, Point(tree, p));
    const double hi[3] = {p[0] + e(rng), p[1] + e(rng), p[2] + e(rng)};
    const std::vector<int> inRange = literal::QueryRange(ref.root, p, hi);
    ASSERT_EQ(inRange, ScanRange(ref.root, p, hi));
    ASSERT_EQ(inRange, Range(tree, p, hi));
  }
}

TEST(BoxTreeBuild, SmallTreesTakeTheirShapeFromTheMedian) {
  const double lo[6] = {0, 0, 0, 1, 1, 1}, hi[6] = {1, 1, 1, 2, 2, 2};
  const int32_t ids[2] = {7, 8};
  BoxTree t;
  t.BuildFromArrays(2, lo, hi, ids);
  ASSERT_NE(Root(t), nullptr);
  EXPECT_EQ(Root(t)->clientId, 8);
  ASSERT_NE(Root(t)->left, nullptr);
  EXPECT_EQ(Root(t)->left->clientId, 7);
  EXPECT_EQ(Root(t)->right, nullptr);
  const double corner[3] = {1, 1, 1};
  EXPECT_EQ(Point(t, corner), (std::vector<int>{8, 7}));
  const double qlo[3] = {1.5, 1.5, 1.5}, qhi[3] = {3, 3, 3};
  EXPECT_EQ(Range(t, qlo, qhi), (std::vector<int>{8}));

  const double lo3[9] = {5, 0, 0, 1, 0, 0, 3, 0, 0}, hi3[9] = {6, 1, 1, 2, 1, 1, 4, 1, 1};
  const int32_t ids3[3] = {1, 2, 3};
  t.BuildFromArrays(3, lo3, hi3, ids3);
  EXPECT_EQ(Root(t)->clientId, 3);
  EXPECT_EQ(Root(t)->left->clientId, 2);
  EXPECT_EQ(Root(t)->right->clientId, 1);
}

TEST(BoxTreeBuild, EmptyTreeAnswersNothingAndTakesInsertions) {
  BoxTree t;
  t.BuildFromArrays(0, nullptr, nullptr, nullptr);
  const double p[3] = {0, 0, 0}, q[3] = {1, 1, 1};
  EXPECT_TRUE(Point(t, p).empty());
  EXPECT_TRUE(Range(t, p, q).empty());
  EXPECT_FALSE(t.RemoveBox(p, q, 1));
  t.InsertBox(p, q, 4);
  EXPECT_EQ(Point(t, q), (std::vector<int>{4}));
  EXPECT_EQ(Root(t)->clientId, 4);
}

TEST(BoxTreeBuild, PoolHandsOutSlotsInPreOrderFromEachBlock) {
  std::mt19937 rng(5);
  Boxes b = RandomBoxes(rng, 1001, 0.1, 100000);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  EXPECT_EQ(t.BlockCount(), 2);
  EXPECT_EQ(t.NextFree(), 1);
  // Nodes are made in pre-order: the first is the root, in slot 0 of the
  // first block, and the 1001st sits in slot 0 of the second.
  std::vector<BoxNode> nodes;
  const BoxNode* root = t.ExportNodes(nodes);
  EXPECT_EQ(t.RootIndex(), 0u);
  std::vector<const BoxNode*> order, stack{root};
  while (!stack.empty()) {
    const BoxNode* n = stack.back();
    stack.pop_back();
    order.push_back(n);
    if (n->right) stack.push_back(n->right);
    if (n->left) stack.push_back(n->left);
  }
  ASSERT_EQ(order.size(), 1001u);
  for (std::size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], &nodes[i]);
  EXPECT_EQ(t.NodeCount(), 1001);
  // Insertions fill the second block, then open a third.
  const double l[3] = {0, 0, 0}, h[3] = {1, 1, 1};
  for (int i = 0; i < 999; ++i) t.InsertBox(l, h, i);
  EXPECT_EQ(t.BlockCount(), 2);
  EXPECT_EQ(t.NextFree(), -1);
  t.InsertBox(l, h, 1000);
  EXPECT_EQ(t.BlockCount(), 3);
  EXPECT_EQ(t.NextFree(), 1);
}

TEST(BoxTreeBuild, MatchesWrittenAlgorithmOnRandomAndMeshData) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    const int n = 1 + static_cast<int>(rng() % 700);
    // Coarse coordinates give many shared centres as well.
    Boxes b = round % 3 == 2 ? MeshBoxes(1 + round % 5) : RandomBoxes(rng, n, 0.2, 50);
    if (round % 4 == 1)
      for (double& x : b.lo) x = std::floor(x * 4) / 4;
    std::vector<double> lo = b.lo, hi = b.hi;
    for (int i = 0; i < 3 * b.Count(); ++i) hi[i] = std::max(hi[i], lo[i]);
    BoxTree t;
    t.BuildFromArrays(b.Count(), lo.data(), hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), lo.data(), hi.data(), b.ids.data());
    ExpectSameAnswers(t, ref, rng, 60, 0.3);
  }
}

TEST(BoxTreeBuild, ManyEqualCentresStayBalanced) {
  Boxes b;
  for (int i = 0; i < 4096; ++i) {
    const double l[3] = {0, 0, 0}, h[3] = {1, 1, 1};
    b.Add(l, h, i);
  }
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  EXPECT_LE(t.Height(), 14);
  const double p[3] = {0.5, 0.5, 0.5};
  EXPECT_EQ(Point(t, p).size(), 4096u);
}

TEST(BoxTreeUpdate, MixedInsertionsAndRemovalsFollowTheWrittenAlgorithm) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int round = 0; round < 12; ++round) {
    Boxes b =
        round % 3 == 0 ? MeshBoxes(3) : RandomBoxes(rng, static_cast<int>(rng() % 300), 0.2, 40);
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    std::vector<int> live(b.ids.begin(), b.ids.end());
    for (int step = 0; step < 400; ++step) {
      double l[3], h[3];
      for (int a = 0; a < 3; ++a) {
        l[a] = u(rng);
        h[a] = l[a] + 0.2 * u(rng);
      }
      const int32_t id = static_cast<int32_t>(rng() % 60);
      if (rng() % 3 == 0) {
        // Removal with the box of a live entry, or with a stray box.
        if (!b.ids.empty() && rng() % 2 == 0) {
          const int k = static_cast<int>(rng() % b.ids.size());
          std::memcpy(l, &b.lo[3 * k], sizeof l);
          std::memcpy(h, &b.hi[3 * k], sizeof h);
        }
        const bool found = t.RemoveBox(l, h, id);
        ASSERT_EQ(found, ref.RemoveBox(l, h, id));
        auto it = std::find(live.begin(), live.end(), id);
        ASSERT_EQ(found, it != live.end() && found);
        if (found) live.erase(it);
      } else {
        t.InsertBox(l, h, id);
        ref.InsertBox(l, h, id);
        b.Add(l, h, id);
        live.push_back(id);
      }
      if (step % 50 == 0) ExpectSameAnswers(t, ref, rng, 20, 0.2);
    }
    ExpectSameAnswers(t, ref, rng, 100, 0.3);
    // Every live id is still answered by a query over everything.
    const double all0[3] = {-10, -10, -10}, all1[3] = {10, 10, 10};
    std::vector<int> got = Range(t, all0, all1), want = live;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
  }
}

TEST(BoxTreeUpdate, RemovalTakesOnlyLiveBoxes) {
  Boxes b;
  const double l[3] = {0, 0, 0}, h[3] = {1, 1, 1}, p[3] = {0.5, 0.5, 0.5};
  for (int i = 0; i < 5; ++i) b.Add(l, h, 3);
  BoxTree t;
  t.BuildFromArrays(5, b.lo.data(), b.hi.data(), b.ids.data());
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(t.RemoveBox(l, h, 3));
    EXPECT_EQ(Point(t, p).size(), static_cast<std::size_t>(4 - i));
  }
  EXPECT_FALSE(t.RemoveBox(l, h, 3));
  // A box added again under a removed id can be removed again.
  t.InsertBox(l, h, 3);
  EXPECT_EQ(Point(t, p), (std::vector<int>{3}));
  EXPECT_TRUE(t.RemoveBox(l, h, 3));
  EXPECT_TRUE(Point(t, p).empty());

  // Matching dead nodes, as first written, leaves live boxes behind.
  literal::Tree ref;
  ref.matchInactive = true;
  ref.BuildFromArrays(5, b.lo.data(), b.hi.data(), b.ids.data());
  for (int i = 0; i < 5; ++i) ref.RemoveBox(l, h, 3);
  EXPECT_EQ(literal::QueryPoint(ref.root, p).size(), 4u);
}

TEST(BoxTreeUpdate, RemovingAnUnknownIdChangesNothing) {
  std::mt19937 rng(3);
  Boxes b = RandomBoxes(rng, 200, 0.3, 10);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  const double p[3] = {0.5, 0.5, 0.5};
  const std::vector<int> before = Point(t, p);
  EXPECT_FALSE(t.RemoveBox(&b.lo[0], &b.hi[0], 99));
  EXPECT_EQ(Point(t, p), before);
}

// Deep trees: boxes along the diagonal inserted one by one make a tree about
// n/2 levels deep. Everything must run on a small thread stack.
struct DiagonalCase {
  int n;
  bool increasing;
  bool ok = false;
  std::string failure;
};

void* RunDiagonal(void* arg) {
  auto* dc = static_cast<DiagonalCase*>(arg);
  BoxTree t;
  std::vector<int> live;
  auto box = [&](int i, double l[3], double h[3]) {
    for (int a = 0; a < 3; ++a) {
      l[a] = i;
      h[a] = i + 1.5;
    }
  };
  for (int s = 0; s < dc->n; ++s) {
    const int i = dc->increasing ? s : dc->n - 1 - s;
    double l[3], h[3];
    box(i, l, h);
    t.InsertBox(l, h, i);
  }
  if (t.Height() < dc->n / 4) {
    dc->failure = "tree unexpectedly shallow";
    return nullptr;
  }
  auto expect = [&](int i, const std::vector<int>& removed, std::vector<int> got) {
    std::vector<int> want;
    for (int k : {i - 1, i})
      if (k >= 0 && k < dc->n && !std::binary_search(removed.begin(), removed.end(), k))
        want.push_back(k);
    std::sort(got.begin(), got.end());
    return got == want;
  };
  std::vector<int> removed;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < dc->n; i += 97) {
      const double p[3] = {i + 0.25, i + 0.25, i + 0.25};
      // The scan gives the order; the diagonal gives the set.
      if (Point(t, p) != ScanPoint(Root(t), p) || !expect(i, removed, Point(t, p))) {
        dc->failure = "point query differs at " + std::to_string(i);
        return nullptr;
      }
      const double q[3] = {i + 0.5, i + 0.5, i + 0.5};
      if (Range(t, p, q) != ScanRange(Root(t), p, q)) {
        dc->failure = "range query differs at " + std::to_string(i);
        return nullptr;
      }
    }
    if (round == 0) {
      for (int i = 1; i < dc->n; i += 3) {
        double l[3], h[3];
        box(i, l, h);
        if (!t.RemoveBox(l, h, i)) {
          dc->failure = "removal missed " + std::to_string(i);
          return nullptr;
        }
        removed.push_back(i);
      }
    }
  }
  dc->ok = true;
  return nullptr;
}

TEST(BoxTreeUpdate, DiagonalInsertionsRunOnASmallStack) {
  for (bool increasing : {true, false}) {
    DiagonalCase dc{20000, increasing, false, std::string()};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, RunDiagonal, &dc), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(dc.ok) << dc.failure << (increasing ? " (increasing)" : " (decreasing)");
  }
}

TEST(BoxTreeQuery, BoxesWithNaNMatchNothingAndHideNothing) {
  std::mt19937 rng(41);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int round = 0; round < 20; ++round) {
    Boxes b = RandomBoxes(rng, 300, 0.2, 1000);
    for (int i = 0; i < b.Count(); ++i)
      if (rng() % 5 == 0) (rng() % 2 ? b.lo : b.hi)[3 * i + rng() % 3] = nan;
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    for (int k = 0; k < 100; ++k) {
      double l[3], h[3];
      for (int a = 0; a < 3; ++a) {
        l[a] = static_cast<double>(rng() % 1000) / 1000.0;
        h[a] = l[a] + 0.1;
      }
      if (k % 7 == 0) l[rng() % 3] = nan;
      if (k % 2)
        t.InsertBox(l, h, 5000 + k);
      else
        t.RemoveBox(l, h, b.ids[rng() % b.ids.size()]);
    }
    for (int q = 0; q < 200; ++q) {
      const double p[3] = {static_cast<double>(rng() % 1000) / 1000.0,
                           static_cast<double>(rng() % 1000) / 1000.0,
                           static_cast<double>(rng() % 1000) / 1000.0};
      const std::vector<int> want = ScanPoint(Root(t), p);
      ASSERT_EQ(Point(t, p), want);
      const double h[3] = {p[0] + 0.05, p[1] + 0.05, p[2] + 0.05};
      ASSERT_EQ(Range(t, p, h), ScanRange(Root(t), p, h));
    }
    const double p[3] = {nan, 0.5, 0.5};
    EXPECT_TRUE(Point(t, p).empty());
  }
}

TEST(BoxTreeQuery, NaNCentresBuildAValidTree) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::mt19937 rng(2);
  for (int round = 0; round < 30; ++round) {
    const int n = 2 + static_cast<int>(rng() % 400);
    Boxes b = RandomBoxes(rng, n, 0.1, 10);
    for (int i = 0; i < n; ++i) {
      const unsigned r = rng() % 8;
      if (r == 0 || round == 0) b.lo[3 * i] = nan;
      if (r == 1) b.hi[3 * i + 1] = inf;
      if (r == 2) b.lo[3 * i + 1] = -inf;
    }
    BoxTree t;
    t.BuildFromArrays(n, b.lo.data(), b.hi.data(), b.ids.data());
    EXPECT_EQ(t.NodeCount(), n);
    const double p[3] = {0.5, 0.5, 0.5};
    EXPECT_EQ(Point(t, p), ScanPoint(Root(t), p));
  }
}

TEST(BoxTreeQuery, InsertedBoxIsAnsweredAtOnce) {
  std::mt19937 rng(8);
  Boxes b = RandomBoxes(rng, 500, 0.2, 100);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  const double l[3] = {0.2, 0.2, 0.2}, h[3] = {0.3, 0.3, 0.3};
  t.InsertBox(l, h, 777);
  const double p[3] = {0.25, 0.25, 0.25};
  const std::vector<int> got = Point(t, p);
  EXPECT_NE(std::find(got.begin(), got.end(), 777), got.end());
  EXPECT_EQ(got, ScanPoint(Root(t), p));
}

// Coordinates that float cannot hold exactly, beyond float's range, tiny
// and infinite: the queries' float subtree boxes must still hold every box.
TEST(BoxTreeQuery, FloatSubtreeBoxesHoldEveryCoordinate) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.1,    -0.1,    1.0 / 3, -1.0 / 3, 1e-40,    -1e-40,
                           1e-320, -1e-320, 3.5e38,  -3.5e38,  1e300,    -1e300,
                           inf,    -inf,    0.0,     -0.0,     16777217, -16777217};
  const int nv = static_cast<int>(sizeof values / sizeof values[0]);
  std::mt19937 rng(17);
  for (int round = 0; round < 30; ++round) {
    Boxes b;
    for (int i = 0; i < 200; ++i) {
      double l[3], h[3];
      for (int a = 0; a < 3; ++a) {
        l[a] = values[rng() % nv];
        h[a] = rng() % 4 ? l[a] : values[rng() % nv];
      }
      b.Add(l, h, i);
    }
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    for (int i = 0; i < 50; ++i) {
      const int k = static_cast<int>(rng() % b.Count());
      if (rng() % 2)
        t.RemoveBox(&b.lo[3 * k], &b.hi[3 * k], b.ids[k]);
      else
        t.InsertBox(&b.lo[3 * k], &b.hi[3 * k], 1000 + i);
    }
    for (int q = 0; q < 100; ++q) {
      // Points at box corners find the boxes that only just hold them.
      const int k = static_cast<int>(rng() % b.Count());
      const double* p = (q % 2 ? b.lo : b.hi).data() + 3 * k;
      ASSERT_EQ(Point(t, p), ScanPoint(Root(t), p));
      ASSERT_EQ(Range(t, p, p), ScanRange(Root(t), p, p));
    }
  }
}

// Moves the box of id -1 at [lo, hi] in both trees: removed, then added
// again shifted by 1e-6 on every axis (lo and hi follow).
void MoveBox(BoxTree& t, literal::Tree& ref, double lo[3], double hi[3]) {
  ASSERT_TRUE(t.RemoveBox(lo, hi, -1));
  ASSERT_TRUE(ref.RemoveBox(lo, hi, -1));
  for (int a = 0; a < 3; ++a) {
    lo[a] += 1e-6;
    hi[a] += 1e-6;
  }
  t.InsertBox(lo, hi, -1);
  ref.InsertBox(lo, hi, -1);
}

// One box moved again and again (removed, then added slightly shifted) among
// others: the answers stay the written ones, and a point away from the moved
// box is answered as before the moves.
TEST(BoxTreeUpdate, MovingOneBoxManyTimesKeepsAnswers) {
  std::mt19937 rng(29);
  Boxes b = RandomBoxes(rng, 300, 0.05, 100000);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  literal::Tree ref;
  ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  double lo[3] = {0.5, 0.5, 0.5}, hi[3] = {0.51, 0.51, 0.51};
  t.InsertBox(lo, hi, -1);
  ref.InsertBox(lo, hi, -1);
  for (int move = 1; move <= 3000; ++move) {
    MoveBox(t, ref, lo, hi);
    if (HasFatalFailure()) return;
    if (move % 500 == 0) ExpectSameAnswers(t, ref, rng, 30, 0.1);
  }
  const double inside[3] = {0.505, 0.505, 0.505};
  const std::vector<int> got = Point(t, inside);
  EXPECT_EQ(std::count(got.begin(), got.end(), -1), 1);
}

}  // namespace

// A box moved many times leaves a chain of removed copies that queries pass
// by. Boxes added among the copies, and removed again, bring parts of the
// chain back into use and out again; the answers must stay the written ones
// throughout, at the moved box and around it.
TEST(BoxTreeUpdate, RemovedCopiesComeBackIntoUseAndGoAgain) {
  std::mt19937 rng(31);
  Boxes b = RandomBoxes(rng, 200, 0.05, 100000);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  literal::Tree ref;
  ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  double lo[3] = {0.5, 0.5, 0.5}, hi[3] = {0.51, 0.51, 0.51};
  std::vector<std::vector<double>> visited;
  t.InsertBox(lo, hi, -1);
  ref.InsertBox(lo, hi, -1);
  const auto expectSame = [&](const double p[3]) {
    const std::vector<int> want = literal::QueryPoint(ref.root, p);
    ASSERT_EQ(Point(t, p), want);
    const double q[3] = {p[0] + 1e-5, p[1] + 1e-5, p[2] + 1e-5};
    ASSERT_EQ(Range(t, p, q), literal::QueryRange(ref.root, p, q));
  };
  for (int move = 0; move < 400; ++move) {
    visited.push_back({lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]});
    MoveBox(t, ref, lo, hi);
    if (HasFatalFailure()) return;
  }
  ExpectSameTree(Root(t), ref.root);
  for (int step = 0; step < 300; ++step) {
    // A box where the moved one once was, under a fresh id or an id in use.
    const std::vector<double>& v = visited[rng() % visited.size()];
    const int32_t id = static_cast<int32_t>(rng() % 8);
    if (rng() % 3 == 0) {
      ASSERT_EQ(t.RemoveBox(&v[0], &v[3], id), ref.RemoveBox(&v[0], &v[3], id));
    } else {
      t.InsertBox(&v[0], &v[3], id);
      ref.InsertBox(&v[0], &v[3], id);
    }
    const double centre[3] = {(v[0] + v[3]) / 2, (v[1] + v[4]) / 2, (v[2] + v[5]) / 2};
    expectSame(centre);
    expectSame(lo);
    expectSame(&v[0]);
  }
  ExpectSameTree(Root(t), ref.root);
  ExpectSameAnswers(t, ref, rng, 50, 0.05);
}

// A large build lays its blocks out in one mapping, and insertions add
// blocks of their own after it; rebuilding the same tree returns both kinds
// and starts afresh.
TEST(BoxTreeBuild, LargeBuildsAndLaterBlocksLiveSideBySide) {
  std::mt19937 rng(13);
  BoxTree t;
  for (int round = 0; round < 2; ++round) {
    Boxes b = RandomBoxes(rng, 20000 + round * 1500, 0.02, 1 << 30);
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    const int64_t built = t.BlockCount();
    EXPECT_EQ(built, (b.Count() + 999) / 1000);
    Boxes extra = RandomBoxes(rng, 1500, 0.02, 1 << 30);
    for (int i = 0; i < extra.Count(); ++i)
      t.InsertBox(&extra.lo[3 * i], &extra.hi[3 * i], extra.ids[i]);
    EXPECT_GT(t.BlockCount(), built);
    for (int q = 0; q < 200; ++q) {
      const double p[3] = {static_cast<double>(rng() % 1000) / 1000.0,
                           static_cast<double>(rng() % 1000) / 1000.0,
                           static_cast<double>(rng() % 1000) / 1000.0};
      ASSERT_EQ(Point(t, p), ScanPoint(Root(t), p));
    }
  }
  t.BuildFromArrays(0, nullptr, nullptr, nullptr);
  EXPECT_EQ(t.BlockCount(), 0);
}

namespace {

std::vector<literal::Near> Near(const BoxTree& t, const double p[3], int k, double maxDistance) {
  Meshkit::List<int> ids;
  Meshkit::List<double> distances;
  t.Nearest(p, k, maxDistance, ids, &distances);
  std::vector<literal::Near> out(static_cast<std::size_t>(ids.Count()));
  for (int i = 0; i < ids.Count(); ++i) out[i] = literal::Near{ids[i], distances[i]};
  Meshkit::List<int> alone;
  t.Nearest(p, k, maxDistance, alone);
  EXPECT_EQ(ToVector(alone), ToVector(ids));
  return out;
}

// Boxes whose extent runs from -edge to +edge on each axis: inverted ones
// mixed with proper and (edge 0) degenerate ones.
Boxes MixedBoxes(std::mt19937& rng, int n, double edge) {
  std::uniform_real_distribution<double> u(0.0, 1.0), e(-edge, edge);
  Boxes b;
  for (int i = 0; i < n; ++i) {
    double l[3], h[3];
    for (int a = 0; a < 3; ++a) {
      l[a] = u(rng);
      h[a] = l[a] + e(rng);
    }
    b.Add(l, h, static_cast<int32_t>(i % 37));
  }
  return b;
}

// Boxes with a NaN corner here and there among random ones.
Boxes NaNCorneredBoxes(std::mt19937& rng, int n) {
  Boxes b = RandomBoxes(rng, n, 0.1, 30);
  for (int i = 0; i < n; i += 7) b.lo[3 * i + i % 3] = std::numeric_limits<double>::quiet_NaN();
  for (int i = 3; i < n; i += 11) b.hi[3 * i + i % 3] = std::numeric_limits<double>::quiet_NaN();
  return b;
}

// Many boxes on few centres: the median split leaves a lopsided tree whose
// triangles are partly empty and leave it from above their bottom level.
Boxes FewCentreBoxes(std::mt19937& rng, int n) {
  Boxes b;
  for (int i = 0; i < n; ++i) {
    const double c = static_cast<int>(rng() % 3) * 0.5, w = static_cast<int>(rng() % 5) * 0.05;
    const double l[3] = {c - w, 0.5 - w, c - w}, h[3] = {c + w, 0.5 + w, c + w};
    b.Add(l, h, i);
  }
  return b;
}

// The tree's nearest boxes against the brute-force oracle, for several k
// and maximum distances, at points inside and around the boxes and on
// their corners (where ties abound).
void ExpectNearestLikeOracle(const BoxTree& t, const Boxes& b, std::mt19937& rng, int queries) {
  const BoxNode* root = Root(t);
  std::uniform_real_distribution<double> u(-0.3, 1.3);
  // 33 and 40 are above the inline room (kInlineNearest).
  const int ks[] = {1, 2, 10, 33, 40, b.Count() + 3};
  const double limits[] = {std::numeric_limits<double>::infinity(), 0.1, 0.0};
  for (int q = 0; q < queries; ++q) {
    double p[3] = {u(rng), u(rng), u(rng)};
    if (q % 4 == 0 && b.Count() > 0) std::memcpy(p, &b.lo[3 * (rng() % b.Count())], sizeof p);
    const int k = ks[q % 6];
    const double maxDistance = limits[q % 3];
    ASSERT_EQ(literal::Nearest(root, p, k, maxDistance), Near(t, p, k, maxDistance))
        << "query " << q << " k " << k << " max " << maxDistance;
  }
}

TEST(BoxTreeNearest, MatchesTheBruteForceOracleOnEveryKindOfBox) {
  std::mt19937 rng(5);
  const Boxes sets[] = {RandomBoxes(rng, 700, 0.1, 50), RandomBoxes(rng, 300, 0.0, 20),
                        MixedBoxes(rng, 400, 0.1), MeshBoxes(4), Boxes{}};
  for (const Boxes& b : sets) {
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    ExpectNearestLikeOracle(t, b, rng, 300);
  }
}

// While the tree is as built, only removed from or loaded, the wide index
// answers: on every kind of box, at every size up to two triangles deep and
// beyond, with removed boxes flagged where they lie.
TEST(BoxTreeNearest, ThroughTheIndexMatchesTheOracleAsBuiltRemovedFromAndLoaded) {
  std::mt19937 rng(31);
  std::vector<Boxes> sets = {RandomBoxes(rng, 2500, 0.1, 60),
                             RandomBoxes(rng, 400, 0.0, 30),
                             MixedBoxes(rng, 700, 0.1),
                             NaNCorneredBoxes(rng, 600),
                             MeshBoxes(5),
                             FewCentreBoxes(rng, 600),
                             RandomBoxes(rng, 1500, 0.5, 1500)};
  for (int n = 1; n <= 40; n += 3) sets.push_back(RandomBoxes(rng, n, 0.3, 1000));
  for (const Boxes& b : sets) {
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    ASSERT_TRUE(t.QueryIndexReady());
    ExpectNearestLikeOracle(t, b, rng, 120);
    for (int i = 0; i < b.Count(); i += 3) t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
    ASSERT_TRUE(t.QueryIndexReady());
    ExpectNearestLikeOracle(t, b, rng, 120);
    std::string state;
    t.SaveState(&state);
    BoxTree loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadState(state.data(), state.size(), &error)) << error;
    ASSERT_TRUE(loaded.QueryIndexReady());
    ExpectNearestLikeOracle(loaded, b, rng, 120);
  }
}

TEST(BoxTreeNearest, FollowsInsertionsAndRemovals) {
  std::mt19937 rng(8);
  for (int round = 0; round < 4; ++round) {
    Boxes b = round % 2 == 0 ? MeshBoxes(3) : MixedBoxes(rng, 200, 0.15);
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int step = 0; step < 300; ++step) {
      if (rng() % 2 == 0 && b.Count() > 0) {
        const int i = static_cast<int>(rng() % b.Count());
        t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
      } else {
        double l[3], h[3];
        for (int a = 0; a < 3; ++a) {
          l[a] = u(rng);
          h[a] = l[a] + 0.3 * u(rng) - 0.05;
        }
        t.InsertBox(l, h, static_cast<int32_t>(step));
      }
      if (step % 30 == 0) ExpectNearestLikeOracle(t, b, rng, 40);
    }
    ExpectNearestLikeOracle(t, b, rng, 200);
  }
}

int WalkUntilIndexed(BoxTree& t);

// The index laid out again after insertions runs over the live boxes only,
// past chains of removed copies: its ranks are positions in that walk,
// node numbers no longer pre-order. Moved boxes leave such chains.
TEST(BoxTreeNearest, ThroughTheIndexLaidOutAgainAfterInsertionsAndMoves) {
  std::mt19937 rng(32);
  for (int round = 0; round < 3; ++round) {
    Boxes b = round == 1 ? FewCentreBoxes(rng, 500) : MixedBoxes(rng, 600, 0.1);
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int step = 0; step < 400; ++step) {
      const int i = static_cast<int>(rng() % b.Count());
      t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
      // Added again a little further on, as a moving box is.
      for (int a = 0; a < 3; ++a) {
        b.lo[3 * i + a] += 1e-3 * u(rng);
        b.hi[3 * i + a] += 1e-3 * u(rng);
      }
      t.InsertBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
    }
    WalkUntilIndexed(t);
    ASSERT_TRUE(t.QueryIndexReady());
    ExpectNearestLikeOracle(t, b, rng, 150);
    for (int i = 0; i < b.Count(); i += 4) t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
    ASSERT_TRUE(t.QueryIndexReady());
    ExpectNearestLikeOracle(t, b, rng, 150);
  }
}

TEST(BoxTreeNearest, DistancesOfContainingInvertedAndNaNBoxes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  Boxes b;
  const double unitLo[3] = {0, 0, 0}, unitHi[3] = {1, 1, 1};
  const double invLo[3] = {1, 0, 0}, invHi[3] = {0, 1, 1};  // inverted on x
  const double nanLo[3] = {0, nan, 0};
  const double farLo[3] = {3, 4, 0}, farHi[3] = {3, 4, 0};
  b.Add(unitLo, unitHi, 1);
  b.Add(invLo, invHi, 2);
  b.Add(nanLo, unitHi, 3);
  b.Add(farLo, farHi, 4);
  b.Add(unitLo, unitHi, 5);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  const double p[3] = {0.25, 0.5, 0.5};
  // The inverted box is as far as the farther of its planes x = 1, x = 0.
  EXPECT_EQ(boxfinder::BoxDistance(invLo, invHi, p), 0.75);
  EXPECT_TRUE(std::isnan(boxfinder::BoxDistance(nanLo, unitHi, p)));
  const double origin[3] = {0, 0, 0};
  EXPECT_EQ(boxfinder::BoxDistance(farLo, farHi, origin), 5.0);
  // The boxes holding p first, in the point query's order; the NaN box never.
  const std::vector<literal::Near> got = Near(t, p, 10, inf);
  ASSERT_EQ(got.size(), 4u);
  std::vector<int> first{got[0].id, got[1].id};
  EXPECT_EQ(first, Point(t, p));
  EXPECT_EQ(got[2].id, 2);
  EXPECT_EQ(got[3].id, 4);
  EXPECT_EQ(Near(t, p, 3, 0.5).size(), 2u);
  const double nanPoint[3] = {0, nan, 0};
  EXPECT_TRUE(Near(t, nanPoint, 3, inf).empty());
  EXPECT_TRUE(Near(t, p, 0, inf).empty());
  EXPECT_TRUE(Near(t, p, 3, nan).empty());
  EXPECT_TRUE(Near(t, p, 3, -1.0).empty());
  // A point at infinity inside a box reaching there is at distance 0.
  const double edgeLo[3] = {0, 0, 0}, edgeHi[3] = {inf, 1, 1}, atInf[3] = {inf, 0.5, 0.5};
  EXPECT_EQ(boxfinder::BoxDistance(edgeLo, edgeHi, atInf), 0.0);
}

TEST(BoxTreeBatch, EachRowIsTheSingleQuery) {
  std::mt19937 rng(13);
  Boxes b = MixedBoxes(rng, 500, 0.1);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  for (int i = 0; i < 50; ++i) t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
  std::uniform_real_distribution<double> u(-0.1, 1.1);
  const int n = 200;
  std::vector<double> lows(3 * n), highs(3 * n);
  for (int i = 0; i < 3 * n; ++i) {
    lows[i] = u(rng);
    highs[i] = lows[i] + 0.05;
  }
  lows[4] = std::numeric_limits<double>::quiet_NaN();
  boxfinder::IdRows points, ranges, nearest;
  t.QueryPointMany(lows.data(), n, &points);
  t.QueryRangeMany(lows.data(), highs.data(), n, &ranges);
  t.NearestMany(lows.data(), n, 7, 0.2, true, &nearest);
  const auto row = [](const boxfinder::IdRows& r, int i) {
    return std::vector<int>(r.ids.begin() + r.offsets[i], r.ids.begin() + r.offsets[i + 1]);
  };
  ASSERT_EQ(points.offsets.size(), n + 1u);
  ASSERT_EQ(nearest.distances.size(), nearest.ids.size());
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(row(points, i), Point(t, &lows[3 * i]));
    EXPECT_EQ(row(ranges, i), Range(t, &lows[3 * i], &highs[3 * i]));
    std::vector<literal::Near> near;
    near.reserve(static_cast<std::size_t>(nearest.offsets[i + 1] - nearest.offsets[i]));
    for (int64_t j = nearest.offsets[i]; j < nearest.offsets[i + 1]; ++j)
      near.push_back(literal::Near{nearest.ids[j], nearest.distances[j]});
    EXPECT_EQ(near, Near(t, &lows[3 * i], 7, 0.2));
  }
  t.QueryPointMany(nullptr, 0, &points);
  EXPECT_EQ(points.offsets, std::vector<int64_t>{0});
  EXPECT_TRUE(points.ids.empty());
}

// The wide query index (query_index.h) answers the point and range queries
// while the tree is as built, loaded or only removed from. These cases
// compare it with the literal tree's walk at box corners (where the float
// rounding of the children's boxes is at its edge), at random points and
// over ranges, some inverted, by the exhaustive scan of the literal tree
// (which is the literal walk's answer, see ExpectSameAnswers) or, for NaN
// centres, which the literal build cannot split, of the tree's own nodes.
void ExpectIndexLikeOracle(const BoxTree& t, const BoxNode* ref, const Boxes& b, std::mt19937& rng,
                           int queries) {
  std::uniform_real_distribution<double> u(-0.1, 1.1), e(-0.02, 0.2);
  for (int q = 0; q < queries; ++q) {
    double p[3] = {u(rng), u(rng), u(rng)};
    if (q % 2 == 0 && b.Count() > 0) {
      const int i = static_cast<int>(rng() % b.Count());
      std::memcpy(p, q % 4 == 0 ? &b.lo[3 * i] : &b.hi[3 * i], sizeof p);
    }
    ASSERT_EQ(ScanPoint(ref, p), Point(t, p)) << "query " << q;
    const double hi[3] = {p[0] + e(rng), p[1] + e(rng), p[2] + e(rng)};
    ASSERT_EQ(ScanRange(ref, p, hi), Range(t, p, hi)) << "query " << q;
  }
}

TEST(BoxTreeIndex, AsBuiltMatchesTheLiteralWalkOnEveryKindOfBox) {
  std::mt19937 rng(21);
  std::vector<Boxes> sets = {RandomBoxes(rng, 3000, 0.1, 100), RandomBoxes(rng, 500, 0.0, 40),
                             MixedBoxes(rng, 800, 0.1), MeshBoxes(5), FewCentreBoxes(rng, 700)};
  // Every size up to two full triangles deep, so the root's triangle takes
  // each number of levels.
  for (int n = 1; n <= 40; ++n) sets.push_back(RandomBoxes(rng, n, 0.3, 1000));
  for (const Boxes& b : sets) {
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    ExpectIndexLikeOracle(t, ref.root, b, rng, 200);
  }
  const Boxes b = NaNCorneredBoxes(rng, 900);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  ExpectIndexLikeOracle(t, Root(t), b, rng, 400);
}

TEST(BoxTreeIndex, RemovalsInsertionsAndLoadsKeepTheAnswers) {
  std::mt19937 rng(22);
  for (int round = 0; round < 4; ++round) {
    Boxes b = round % 2 == 0 ? MixedBoxes(rng, 1500, 0.1) : FewCentreBoxes(rng, 1200);
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    // Removals flag the index's entries, interleaved with queries.
    for (int step = 0; step < 400; ++step) {
      const int i = static_cast<int>(rng() % b.Count());
      ASSERT_EQ(ref.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]),
                t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]));
      if (step % 40 == 0) ExpectIndexLikeOracle(t, ref.root, b, rng, 30);
    }
    // A loaded tree lays its index out again, from removed boxes as well.
    std::string state;
    t.SaveState(&state);
    BoxTree loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadState(state.data(), state.size(), &error)) << error;
    ExpectIndexLikeOracle(loaded, ref.root, b, rng, 200);
    // After insertions the binary walk answers; a load of that tree (node
    // numbers no longer in pre-order, deeper chains) has an index again.
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int step = 0; step < 300; ++step) {
      const double c = round % 2 == 0 ? u(rng) : 0.5, l[3] = {c, u(rng), c};
      const double h[3] = {c + 0.01 * step, l[1] + 0.02, c};
      ref.InsertBox(l, h, 5000 + step);
      loaded.InsertBox(l, h, 5000 + step);
      b.Add(l, h, 5000 + step);
      if (step % 50 == 0) ExpectIndexLikeOracle(loaded, ref.root, b, rng, 30);
    }
    state.clear();
    loaded.SaveState(&state);
    BoxTree again;
    ASSERT_TRUE(again.LoadState(state.data(), state.size(), &error)) << error;
    ExpectIndexLikeOracle(again, ref.root, b, rng, 300);
    for (int step = 0; step < 200; ++step) {
      const int i = static_cast<int>(rng() % b.Count());
      ASSERT_EQ(ref.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]),
                again.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]));
    }
    ExpectIndexLikeOracle(again, ref.root, b, rng, 300);
  }
}

// The index tests an entry's float box first and the exact box only where
// a query corner lies within one float step of a side. Query corners on,
// just inside and just outside every side (one double step, and at the
// side's float rounding), for boxes whose sides are floats exactly and for
// boxes whose sides are not.
TEST(BoxTreeIndex, CornersWithinAFloatStepOfASideAreTestedExactly) {
  std::mt19937 rng(26);
  Boxes sets[] = {RandomBoxes(rng, 400, 0.1, 1000), Boxes{}};
  for (int i = 0; i < 64; ++i) {
    // Unit cells of a 4 x 4 x 4 grid: cell i at (i % 4, i / 4 % 4, i / 16).
    const int cell[3] = {i % 4, i / 4 % 4, i / 16};
    const double l[3] = {static_cast<double>(cell[0]), static_cast<double>(cell[1]),
                         static_cast<double>(cell[2])};
    const double h[3] = {l[0] + 1, l[1] + 1, l[2] + 1};
    sets[1].Add(l, h, i);
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (const Boxes& b : sets) {
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    for (int i = 0; i < b.Count(); i += 3) {
      for (int a = 0; a < 3; ++a) {
        for (const double side : {b.lo[3 * i + a], b.hi[3 * i + a]}) {
          const double near[] = {std::nextafter(side, -inf), side, std::nextafter(side, inf),
                                 static_cast<double>(boxfinder::FloatBelow(side)),
                                 static_cast<double>(boxfinder::FloatAbove(side))};
          for (const double x : near) {
            double p[3];
            for (int c = 0; c < 3; ++c) p[c] = 0.5 * (b.lo[3 * i + c] + b.hi[3 * i + c]);
            p[a] = x;
            ASSERT_EQ(ScanPoint(ref.root, p), Point(t, p)) << "box " << i << " axis " << a;
            // Ranges that end, or start, at the corner.
            double below[3], above[3];
            for (int c = 0; c < 3; ++c) {
              below[c] = p[c] - 0.01;
              above[c] = p[c] + 0.01;
            }
            const double* los[] = {below, p};
            const double* his[] = {p, above};
            for (int r = 0; r < 2; ++r)
              ASSERT_EQ(ScanRange(ref.root, los[r], his[r]), Range(t, los[r], his[r]))
                  << "box " << i << " axis " << a << " range " << r;
          }
        }
      }
    }
  }
}

// Queries walked until the index is laid out again: a layout is due once
// they are an eighth of the node count (RefreshQueryIndex). Returns how
// many it took; the points lie in the unit cube and answer what they may.
int WalkUntilIndexed(BoxTree& t) {
  const double p[3] = {0.5, 0.5, 0.5};
  Meshkit::List<int> out;
  int queries = 0;
  for (t.RefreshQueryIndex(); !t.QueryIndexReady(); t.RefreshQueryIndex()) {
    t.QueryPoint(p, out);
    if (++queries > t.NodeCount()) break;
  }
  return queries;
}

// After insertions the index is set aside, and laid out again over the
// tree as it is once the binary walks have paid for it: past chains of
// removed copies and dead subtrees, with node numbers out of pre-order.
// Every query keeps the literal walk's answer through insertions, the new
// layout, removals flagging it, and the next insertion setting it aside.
TEST(BoxTreeIndex, LaidOutAgainAfterInsertionsOnceTheWalksPayForIt) {
  std::mt19937 rng(23);
  for (int round = 0; round < 4; ++round) {
    Boxes b = round % 2 == 0 ? MixedBoxes(rng, 1500, 0.1) : FewCentreBoxes(rng, 1200);
    BoxTree t;
    t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    literal::Tree ref;
    ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int step = 0; step < 400; ++step) {
      if (step % 3 == 0) {
        const int i = static_cast<int>(rng() % b.Count());
        ASSERT_EQ(ref.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]),
                  t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]));
        continue;
      }
      const double c = round % 2 == 0 ? u(rng) : 0.5, l[3] = {c, u(rng), c};
      const double h[3] = {c + 0.001 * step, l[1] + 0.02, c};
      ref.InsertBox(l, h, 7000 + step);
      t.InsertBox(l, h, 7000 + step);
      b.Add(l, h, 7000 + step);
    }
    ASSERT_FALSE(t.QueryIndexReady());
    t.RefreshQueryIndex();
    ASSERT_FALSE(t.QueryIndexReady()) << "laid out before any query walked";
    const int walked = WalkUntilIndexed(t);
    ASSERT_TRUE(t.QueryIndexReady());
    EXPECT_LE(walked, t.NodeCount() / 8 + 1);
    ExpectIndexLikeOracle(t, ref.root, b, rng, 300);
    ExpectNearestLikeOracle(t, b, rng, 100);
    for (int step = 0; step < 300; ++step) {
      const int i = static_cast<int>(rng() % b.Count());
      ASSERT_EQ(ref.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]),
                t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]));
      if (step % 50 == 0) ExpectIndexLikeOracle(t, ref.root, b, rng, 20);
    }
    ASSERT_TRUE(t.QueryIndexReady());
    const double l[3] = {0.2, 0.2, 0.2}, h[3] = {0.3, 0.3, 0.3};
    ref.InsertBox(l, h, 9999);
    t.InsertBox(l, h, 9999);
    b.Add(l, h, 9999);
    ASSERT_FALSE(t.QueryIndexReady());
    ExpectIndexLikeOracle(t, ref.root, b, rng, 100);
  }
}

// A tree whose boxes are all removed after an insertion lays out an index
// without a node, which answers nothing, and takes boxes again.
TEST(BoxTreeIndex, LaidOutOverNoLiveBoxAnswersNothing) {
  std::mt19937 rng(27);
  Boxes b = RandomBoxes(rng, 50, 0.2, 10);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  const double l[3] = {0.2, 0.2, 0.2}, h[3] = {0.3, 0.3, 0.3};
  t.InsertBox(l, h, 99);
  b.Add(l, h, 99);
  for (int i = 0; i < b.Count(); ++i) t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
  WalkUntilIndexed(t);
  ASSERT_TRUE(t.QueryIndexReady());
  ExpectIndexLikeOracle(t, Root(t), b, rng, 50);
  ExpectNearestLikeOracle(t, b, rng, 20);
  const double p[3] = {0.25, 0.25, 0.25};
  EXPECT_TRUE(Point(t, p).empty());
  t.InsertBox(l, h, 7);
  EXPECT_EQ(Point(t, p), std::vector<int>{7});
}

// A box moved many times leaves a chain of removed copies; the index laid
// out afterwards passes it by, so it holds about the live boxes only, and
// the answers at the moved box stay the written ones.
TEST(BoxTreeIndex, LayoutSkipsChainsOfRemovedCopies) {
  std::mt19937 rng(24);
  Boxes b = RandomBoxes(rng, 300, 0.05, 100000);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  literal::Tree ref;
  ref.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  double lo[3] = {0.5, 0.5, 0.5}, hi[3] = {0.51, 0.51, 0.51};
  t.InsertBox(lo, hi, -1);
  ref.InsertBox(lo, hi, -1);
  for (int move = 0; move < 2000; ++move) {
    MoveBox(t, ref, lo, hi);
    if (HasFatalFailure()) return;
  }
  const std::size_t without = t.MemoryBytes();
  WalkUntilIndexed(t);
  ASSERT_TRUE(t.QueryIndexReady());
  // A wide node (15 entries, 16 children) is about 1.4 kB: the 301 live
  // boxes take a few dozen, the 2,301 nodes would take hundreds.
  EXPECT_LT(t.MemoryBytes() - without, std::size_t{100} * 1400);
  ExpectIndexLikeOracle(t, ref.root, b, rng, 200);
  b.Add(lo, hi, -1);
  ExpectIndexLikeOracle(t, ref.root, b, rng, 200);
  const double inside[3] = {0.5 + 2000e-6 + 0.005, 0.505 + 2000e-6, 0.505 + 2000e-6};
  const std::vector<int> got = Point(t, inside);
  EXPECT_EQ(std::count(got.begin(), got.end(), -1), 1);
}

// Boxes with NaN corners can match nothing and have no entry in a layout
// that skips dead subtrees; removing them afterwards must leave the index
// alone.
TEST(BoxTreeIndex, RemovingBoxesThatHaveNoEntry) {
  std::mt19937 rng(25);
  Boxes b = NaNCorneredBoxes(rng, 600);
  BoxTree t;
  t.BuildFromArrays(b.Count(), b.lo.data(), b.hi.data(), b.ids.data());
  const double l[3] = {0.4, 0.4, 0.4}, h[3] = {0.6, 0.6, 0.6};
  t.InsertBox(l, h, 77);
  b.Add(l, h, 77);
  WalkUntilIndexed(t);
  ASSERT_TRUE(t.QueryIndexReady());
  for (int i = 0; i < b.Count(); ++i) {
    t.RemoveBox(&b.lo[3 * i], &b.hi[3 * i], b.ids[i]);
    if (i % 60 == 0) ExpectIndexLikeOracle(t, Root(t), b, rng, 20);
  }
  ExpectIndexLikeOracle(t, Root(t), b, rng, 100);
}

}  // namespace
