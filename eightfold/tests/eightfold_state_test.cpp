// The octree's saved state (eightfold_state.cpp): a loaded tree lists,
// locates, refines, allocates and saves as the original does, and every
// kind of damaged state is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "eightfold_tree.h"

using eightfold::EightfoldTree;

namespace {

// Offsets of the header fields (the layout at the top of
// eightfold_state.cpp).
constexpr std::size_t kVersionAt = 8, kCellsAt = 52, kLeavesAt = 60, kBlockCellsAt = 68,
                      kSpareAt = 76, kNextBlockAt = 84, kPathCapacityAt = 92, kPathCountAt = 96,
                      kPathAt = 100;

std::string Save(const EightfoldTree& t) {
  std::string s;
  t.SaveState(&s);
  return s;
}

std::unique_ptr<EightfoldTree> Load(const std::string& s) {
  std::string error;
  std::unique_ptr<EightfoldTree> t = EightfoldTree::LoadState(s.data(), s.size(), &error);
  EXPECT_NE(t, nullptr) << error;
  return t;
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

using LeafList = std::vector<std::tuple<double, double, double, double>>;
LeafList LeavesOf(const EightfoldTree& t) {
  LeafList out;
  t.VisitLeaves([&](double x, double y, double z, double h) { out.emplace_back(x, y, z, h); });
  return out;
}

// A tree refined around random points, uniformly, and balanced, so that its
// path stack and blocks have been used.
void Grow(EightfoldTree& t, std::mt19937& rng, int points) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int k = 0; k < points; ++k) t.RefineToSize(u(rng), u(rng), u(rng), 0.02 + 0.1 * u(rng));
  t.UniformRefine(0.3);
  t.RefineOneLevelDiff();
}

TEST(EightfoldStateTest, CopiesListRefineAllocateAndSaveAsTheOriginal) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    EightfoldTree original(0.25, -0.5, 1.0, 1.0);
    for (int stage = 0; stage < 3; ++stage) {
      const std::string state = Save(original);
      std::unique_ptr<EightfoldTree> copy = Load(state);
      ASSERT_NE(copy, nullptr);
      EXPECT_EQ(Save(*copy), state);
      EXPECT_EQ(LeavesOf(*copy), LeavesOf(original));
      EXPECT_EQ(copy->CellCount(), original.CellCount());
      EXPECT_EQ(copy->AllocatedBytes(), original.AllocatedBytes());
      EXPECT_EQ(copy->PathStackCapacity(), original.PathStackCapacity());
      std::mt19937 same = rng;
      Grow(original, rng, 3);
      Grow(*copy, same, 3);
      EXPECT_EQ(Save(*copy), Save(original)) << "seed " << seed << " stage " << stage;
      EXPECT_EQ(copy->AllocatedBytes(), original.AllocatedBytes());
      EXPECT_EQ(copy->ContainingCellSize(0.1, 0.2, 0.3),
                original.ContainingCellSize(0.1, 0.2, 0.3));
    }
  }
}

TEST(EightfoldStateTest, KeepsTheCubeAndTheCellLimitAsTheyAre) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EightfoldTree odd(nan, -0.0, std::numeric_limits<double>::infinity(), 5e-324);
  odd.SetCellLimit(100);
  std::unique_ptr<EightfoldTree> copy = Load(Save(odd));
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(std::isnan(copy->Centre()[0]));
  EXPECT_TRUE(std::signbit(copy->Centre()[1]));
  EXPECT_EQ(copy->HalfSize(), 5e-324);
  EXPECT_EQ(copy->CellLimit(), 100);
  EXPECT_EQ(Save(*copy), Save(odd));
}

void ExpectRefused(const std::string& state, const char* what) {
  std::string error;
  EXPECT_EQ(EightfoldTree::LoadState(state.data(), state.size(), &error), nullptr) << what;
  EXPECT_FALSE(error.empty()) << what;
}

TEST(EightfoldStateTest, RefusesTruncatedLengthenedAndForeignStates) {
  std::mt19937 rng(3);
  EightfoldTree t(0, 0, 0, 1);
  Grow(t, rng, 2);
  const std::string state = Save(t);
  for (std::size_t n = 0; n < state.size(); ++n) ExpectRefused(state.substr(0, n), "truncated");
  ExpectRefused(state + '\0', "one byte more");
  std::string other = state;
  other[1] = 'X';
  ExpectRefused(other, "magic");
  other = state;
  Poke<uint32_t>(other, kVersionAt, 7);
  ExpectRefused(other, "version");
}

TEST(EightfoldStateTest, RefusesCountsShapesBlocksAndPathsThatDisagree) {
  std::mt19937 rng(4);
  EightfoldTree t(0, 0, 0, 1);
  Grow(t, rng, 2);
  const std::string state = Save(t);
  const uint64_t cells = Peek<uint64_t>(state, kCellsAt);
  const int32_t pathCount = Peek<int32_t>(state, kPathCountAt);
  const std::size_t shapeAt = kPathAt + 4 * static_cast<std::size_t>(pathCount);
  const auto refused = [&](auto poke, const char* what) {
    std::string s = state;
    poke(s);
    ExpectRefused(s, what);
  };
  refused([&](std::string& s) { Poke<uint64_t>(s, kCellsAt, cells + 8); }, "more cells");
  refused([&](std::string& s) { Poke<uint64_t>(s, kCellsAt, cells - 1); }, "incomplete set");
  refused([](std::string& s) { Poke<uint64_t>(s, kCellsAt, ~uint64_t{0}); }, "huge count");
  refused([](std::string& s) { Poke<uint64_t>(s, kLeavesAt, 1); }, "leaf count");
  refused([](std::string& s) { Poke<uint64_t>(s, kBlockCellsAt, 1); }, "blocks too small");
  refused([](std::string& s) { Poke<uint64_t>(s, kBlockCellsAt, uint64_t{1} << 60); },
          "blocks far too large");
  refused([](std::string& s) { Poke<uint64_t>(s, kSpareAt, uint64_t{1} << 40); }, "spare cells");
  refused([](std::string& s) { Poke<uint64_t>(s, kNextBlockAt, 100); }, "next block size");
  refused([](std::string& s) { Poke<int32_t>(s, kPathCapacityAt, 7); }, "path capacity");
  refused([](std::string& s) { Poke<int32_t>(s, kPathCapacityAt, 1000); }, "path deeper");
  refused([](std::string& s) { Poke<int32_t>(s, kPathCountAt, -1); }, "path count");
  refused([&](std::string& s) { Poke<int32_t>(s, kPathCapacityAt, pathCount - 1); },
          "path count above capacity");
  if (pathCount > 0) refused([](std::string& s) { Poke<int32_t>(s, kPathAt, 8); }, "path entry");
  // The root's bit cleared: a leaf root with cells left over.
  refused([&](std::string& s) { s[shapeAt] = static_cast<char>(s[shapeAt] & ~1); }, "shape");
  refused([&](std::string& s) { s.back() = static_cast<char>(s.back() | 0x80); },
          "bit past the last cell");
}

}  // namespace
