// Fuzz target of the octree's state loader (eightfold_state.cpp). An input
// is either a state as it is (first byte even), or (first byte odd) a tree
// refined from the next bytes whose saved state the remaining bytes then
// damage: bytes changed at chosen places, then a cut. Whatever the loader
// accepts must save back to exactly the bytes it read, list as many leaves
// as it counts, locate points and balance; whatever it refuses must give a
// reason. Given a corpus directory, the target first writes valid states
// into it, so that mutation starts from them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "eightfold_tree.h"
#include "state_corpus.h"

using eightfold::EightfoldTree;

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

constexpr int kMaxRefinements = 6;
// Balancing a loaded tree is only tried on small trees, so that a run
// stays short whatever shape the state describes.
constexpr std::size_t kMaxBalancedCells = 4096;

std::unique_ptr<EightfoldTree> MakeTree(ByteReader& in) {
  std::unique_ptr<EightfoldTree> tree(new EightfoldTree(0.0, 0.5, -0.25, 1.0));
  const int refinements = in.Below(kMaxRefinements + 1);
  for (int k = 0; k < refinements; ++k) {
    const double x = in.Grid(-1.0, 0.125, 17), y = in.Grid(-0.5, 0.125, 17);
    const double z = in.Grid(-1.25, 0.125, 17);
    tree->RefineToSize(x, y, z, 1.0 / (2 << in.Below(5)));
  }
  if (in.Below(2) == 0) tree->UniformRefine(0.5 / (1 << in.Below(3)));
  if (in.Below(2) == 0) tree->RefineOneLevelDiff();
  return tree;
}

void TryLoad(const std::string& state) {
  std::string error;
  std::unique_ptr<EightfoldTree> tree =
      EightfoldTree::LoadState(state.data(), state.size(), &error);
  if (tree == nullptr) {
    Check(!error.empty());
    return;
  }
  std::string again;
  tree->SaveState(&again);
  Check(again == state);
  std::size_t leaves = 0;
  tree->VisitLeaves([&leaves](double, double, double, double) { ++leaves; });
  Check(leaves == tree->LeafCount());
  for (int k = 0; k < 4; ++k) tree->ContainingCellSize(0.3 * k - 0.5, 0.1 * k, -0.2 * k);
  if (tree->CellCount() <= kMaxBalancedCells) tree->RefineOneLevelDiff();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  WriteSeedStates(*argc, *argv, [](int seed) {
    std::vector<std::uint8_t> bytes(32);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      bytes[k] = static_cast<std::uint8_t>(k * 53 + static_cast<std::size_t>(seed) * 11);
    }
    ByteReader in(bytes.data(), bytes.size());
    std::unique_ptr<EightfoldTree> tree = MakeTree(in);
    std::string state;
    tree->SaveState(&state);
    return state;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    TryLoad(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    return 0;
  }
  ByteReader in(data + 1, size - 1);
  std::unique_ptr<EightfoldTree> original = MakeTree(in);
  std::string state;
  original->SaveState(&state);
  TryLoad(state);
  DamageState(in, &state);
  TryLoad(state);
  return 0;
}
