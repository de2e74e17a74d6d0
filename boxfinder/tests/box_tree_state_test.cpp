// The box tree's saved state (box_tree_state.cpp): a loaded tree answers,
// changes and saves as the original does, down to the blocks' slot use,
// and every kind of damaged state is refused with the tree left as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "box_tree.h"

namespace {

using boxfinder::BoxTree;

// Offsets of the header fields and of a node record's fields (the layout
// written at the top of box_tree_state.cpp).
constexpr std::size_t kVersionAt = 8, kCountAt = 12, kBlocksAt = 20, kNextFreeAt = 28, kRootAt = 32,
                      kHeightAt = 36, kBoundsFlagAt = 44, kNodesAt = 45;
constexpr std::size_t kRecord = 61, kLeftAt = 48, kRightAt = 52, kActiveAt = 60;

std::string Save(const BoxTree& t) {
  std::string s;
  t.SaveState(&s);
  return s;
}

template <class T>
void Poke(std::string& s, std::size_t at, T value) {
  std::memcpy(&s[at], &value, sizeof value);
}

template <class T>
T Peek(const std::string& s, std::size_t at) {
  T value;
  std::memcpy(&value, &s[at], sizeof value);
  return value;
}

std::vector<int> Point(const BoxTree& t, const double p[3]) {
  Meshkit::List<int> out;
  t.QueryPoint(p, out);
  return std::vector<int>(out.Data(), out.Data() + out.Count());
}

std::vector<int> Range(const BoxTree& t, const double lo[3], const double hi[3]) {
  Meshkit::List<int> out;
  t.QueryRange(lo, hi, out);
  return std::vector<int>(out.Data(), out.Data() + out.Count());
}

// Random boxes on a coarse grid (shared corners, nesting, repeats), some
// inverted, some with NaN corners, ids repeating.
struct RandomBoxes {
  std::mt19937 rng;
  explicit RandomBoxes(unsigned seed) : rng(seed) {}
  double Coordinate() { return static_cast<int>(rng() % 40) * 0.25; }
  void Box(double lo[3], double hi[3]) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = Coordinate();
      hi[a] = lo[a] + static_cast<int>(rng() % 12) * 0.25 - 0.25;
    }
    if (rng() % 50 == 0) lo[rng() % 3] = std::numeric_limits<double>::quiet_NaN();
  }
  int32_t Id() { return static_cast<int32_t>(rng() % 300); }
};

BoxTree* Build(BoxTree* t, RandomBoxes& r, int n) {
  std::vector<double> lo(3 * n), hi(3 * n);
  std::vector<int32_t> ids(n);
  for (int i = 0; i < n; ++i) {
    r.Box(&lo[3 * i], &hi[3 * i]);
    ids[i] = r.Id();
  }
  t->BuildFromArrays(n, lo.data(), hi.data(), ids.data());
  return t;
}

void Load(BoxTree* t, const std::string& s) {
  std::string error;
  ASSERT_TRUE(t->LoadState(s.data(), s.size(), &error)) << error;
}

// Both trees answer the same queries alike.
void ExpectSameAnswers(const BoxTree& a, const BoxTree& b, RandomBoxes& r) {
  for (int k = 0; k < 100; ++k) {
    double lo[3], hi[3];
    r.Box(lo, hi);
    ASSERT_EQ(Point(a, lo), Point(b, lo));
    ASSERT_EQ(Range(a, lo, hi), Range(b, lo, hi));
  }
}

// The same random insertions and removals on both trees, with the same
// outcomes.
void ChangeBoth(BoxTree& a, BoxTree& b, RandomBoxes& r, int operations) {
  for (int k = 0; k < operations; ++k) {
    double lo[3], hi[3];
    r.Box(lo, hi);
    const int32_t id = r.Id();
    if (r.rng() % 3 == 0) {
      ASSERT_EQ(a.RemoveBox(lo, hi, id), b.RemoveBox(lo, hi, id));
    } else {
      a.InsertBox(lo, hi, id);
      b.InsertBox(lo, hi, id);
    }
  }
}

TEST(BoxTreeStateTest, CopiesAnswerChangeAndSaveAsTheOriginalAtEveryStage) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    RandomBoxes r(seed);
    BoxTree original;
    Build(&original, r, static_cast<int>(seed * 37 % 400));
    // Fresh from the build (no subtree boxes yet), after insertions and
    // removals, and after more of them on a copy of a copy.
    for (int stage = 0; stage < 3; ++stage) {
      const std::string state = Save(original);
      BoxTree copy;
      Load(&copy, state);
      EXPECT_EQ(Save(copy), state) << "seed " << seed << " stage " << stage;
      EXPECT_EQ(copy.NodeCount(), original.NodeCount());
      EXPECT_EQ(copy.BlockCount(), original.BlockCount());
      EXPECT_EQ(copy.NextFree(), original.NextFree());
      EXPECT_EQ(copy.Height(), original.Height());
      ExpectSameAnswers(original, copy, r);
      ChangeBoth(original, copy, r, 150);
      ExpectSameAnswers(original, copy, r);
      EXPECT_EQ(Save(copy), Save(original)) << "seed " << seed << " stage " << stage;
    }
  }
}

TEST(BoxTreeStateTest, EmptyTreesRoundTripAndGrowAlike) {
  BoxTree empty, copy;
  Load(&copy, Save(empty));
  EXPECT_EQ(copy.NodeCount(), 0);
  EXPECT_EQ(copy.BlockCount(), 0);
  const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
  EXPECT_TRUE(Point(copy, lo).empty());
  empty.InsertBox(lo, hi, 4);
  copy.InsertBox(lo, hi, 4);
  EXPECT_EQ(Save(copy), Save(empty));
  EXPECT_EQ(Point(copy, hi), std::vector<int>{4});
}

TEST(BoxTreeStateTest, ACopyOfAThousandBoxesTakesItsNextNodeFromANewBlock) {
  RandomBoxes r(5);
  BoxTree original, copy;
  Build(&original, r, boxfinder::kNodesPerBlock);
  Load(&copy, Save(original));
  EXPECT_EQ(copy.BlockCount(), 1);
  EXPECT_EQ(copy.NextFree(), -1);
  const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
  copy.InsertBox(lo, hi, 1001);
  EXPECT_EQ(copy.BlockCount(), 2);
  EXPECT_EQ(copy.NextFree(), 1);
  original.InsertBox(lo, hi, 1001);
  EXPECT_EQ(Save(copy), Save(original));
}

// A state that LoadState must refuse, leaving the tree as it was.
void ExpectRefused(const std::string& state, const char* what) {
  RandomBoxes r(99);
  BoxTree t;
  Build(&t, r, 20);
  const std::string before = Save(t);
  std::string error;
  EXPECT_FALSE(t.LoadState(state.data(), state.size(), &error)) << what;
  EXPECT_FALSE(error.empty()) << what;
  EXPECT_EQ(Save(t), before) << what;
}

TEST(BoxTreeStateTest, RefusesTruncatedLengthenedAndForeignStates) {
  RandomBoxes r(7);
  BoxTree t;
  Build(&t, r, 30);
  const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
  t.InsertBox(lo, hi, 3);  // with subtree boxes
  const std::string state = Save(t);
  for (std::size_t n = 0; n < state.size(); ++n) ExpectRefused(state.substr(0, n), "truncated");
  ExpectRefused(state + '\0', "one byte more");
  std::string other = state;
  other[0] = 'b';
  ExpectRefused(other, "magic");
  other = state;
  Poke<uint32_t>(other, kVersionAt, 2);
  ExpectRefused(other, "version");
}

TEST(BoxTreeStateTest, RefusesCountsThatDisagree) {
  RandomBoxes r(8);
  BoxTree t;
  Build(&t, r, 30);
  const std::string state = Save(t);
  const auto refused = [&](auto poke, const char* what) {
    std::string s = state;
    poke(s);
    ExpectRefused(s, what);
  };
  refused([](std::string& s) { Poke<uint64_t>(s, kCountAt, 29); }, "count one less");
  refused([](std::string& s) { Poke<uint64_t>(s, kCountAt, uint64_t{1} << 62); }, "huge count");
  refused([](std::string& s) { Poke<uint64_t>(s, kBlocksAt, 2); }, "block count");
  refused([](std::string& s) { Poke<uint64_t>(s, kBlocksAt, 0); }, "no block");
  refused([](std::string& s) { Poke<int32_t>(s, kNextFreeAt, 31); }, "next free slot");
  refused([](std::string& s) { Poke<int32_t>(s, kNextFreeAt, -1); }, "full block");
  refused([](std::string& s) { Poke<int32_t>(s, kNextFreeAt, 5000); }, "slot beyond a block");
  refused([](std::string& s) { Poke<uint32_t>(s, kRootAt, 30); }, "root out of range");
  refused([](std::string& s) { Poke<uint32_t>(s, kRootAt, boxfinder::kNoNode); }, "no root");
  refused([](std::string& s) { Poke<int64_t>(s, kHeightAt, Peek<int64_t>(s, kHeightAt) + 1); },
          "height");
  refused([](std::string& s) { s[kBoundsFlagAt] = 2; }, "subtree box flag");
  refused([](std::string& s) { s[kNodesAt + 4 * kRecord + kActiveAt] = 2; }, "active flag");
}

TEST(BoxTreeStateTest, RefusesLinksThatDoNotFormOneTree) {
  RandomBoxes r(9);
  BoxTree built;
  Build(&built, r, 30);
  const std::string fresh = Save(built);
  const double lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
  built.InsertBox(lo, hi, 3);
  const std::string changed = Save(built);
  // Node 0 is the root of a built tree and node 1 its left child.
  for (const std::string* state : {&fresh, &changed}) {
    const auto link = [&](uint32_t node, std::size_t side, uint32_t to, const char* what) {
      std::string s = *state;
      Poke<uint32_t>(s, kNodesAt + node * kRecord + side, to);
      ExpectRefused(s, what);
    };
    link(1, kLeftAt, 31, "link out of range");
    link(1, kLeftAt, 0, "link back to the root");
    link(1, kRightAt, 1, "link to itself");
    const uint32_t child = Peek<uint32_t>(*state, kNodesAt + 1 * kRecord + kLeftAt);
    ASSERT_NE(child, boxfinder::kNoNode);
    link(Peek<uint32_t>(*state, kNodesAt + kRightAt), kRightAt, child, "shared child");
    link(0, kRightAt, boxfinder::kNoNode, "nodes cut off the tree");
  }
}

TEST(BoxTreeStateTest, AcceptsNaNBoxesAndEveryFloatAsItIs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double lo[] = {nan, 0, 0, -inf, -0.0, 1e-310, 0, 0, 0};
  const double hi[] = {1, 1, 1, inf, 0.0, 1e308, -1, -1, -1};
  const int32_t ids[] = {1, 2, 3};
  BoxTree t, copy;
  t.BuildFromArrays(3, lo, hi, ids);
  Load(&copy, Save(t));
  EXPECT_EQ(Save(copy), Save(t));
  const double p[3] = {0, 0, 0};
  EXPECT_EQ(Point(copy, p), Point(t, p));
}

}  // namespace
