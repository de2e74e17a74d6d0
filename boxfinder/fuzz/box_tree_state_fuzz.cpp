// Fuzz target of the box tree's state loader (box_tree_state.cpp). An input
// is either a state as it is (first byte even), or (first byte odd) a tree
// built and changed from the next bytes whose saved state the remaining
// bytes then damage: bytes changed at chosen places, then a cut. Whatever
// the loader accepts must save back to exactly the bytes it read, answer
// every query with the active boxes that match, in pre-order, and take
// insertions and removals; whatever it refuses must leave the tree empty
// and give a reason. Given a corpus directory, the target first writes
// valid states into it, so that mutation starts from them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <meshkit/list.h>
#include "box_tree.h"
#include "byte_reader.h"
#include "state_corpus.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

constexpr int kMaxBuild = 48;
constexpr int kMaxChanges = 24;

void ReadBox(ByteReader& in, double lo[3], double hi[3]) {
  for (int a = 0; a < 3; ++a) {
    lo[a] = in.Grid(-0.5, 0.25, 12);
    hi[a] = lo[a] + in.Grid(-0.25, 0.25, 8);
  }
}

// A tree built from n boxes, then changed, both decoded from `in`.
void MakeTree(ByteReader& in, boxfinder::BoxTree* tree) {
  const int n = in.Below(kMaxBuild + 1);
  std::vector<double> lo(3 * static_cast<std::size_t>(n)), hi(lo.size());
  std::vector<int32_t> ids(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    ReadBox(in, &lo[3 * i], &hi[3 * i]);
    ids[i] = in.Below(16);
  }
  tree->BuildFromArrays(n, lo.data(), hi.data(), ids.data());
  const int changes = in.Below(kMaxChanges + 1);
  for (int k = 0; k < changes; ++k) {
    double l[3], h[3];
    ReadBox(in, l, h);
    const int32_t id = in.Below(16);
    if (in.Below(3) == 0) {
      tree->RemoveBox(l, h, id);
    } else {
      tree->InsertBox(l, h, id);
    }
  }
}

std::vector<int> Ids(const Meshkit::List<int>& list) {
  return std::vector<int>(list.Data(), list.Data() + list.Count());
}

// The active boxes matching, in pre-order, from the linked form.
template <class Match>
std::vector<int> Scan(const boxfinder::BoxNode* root, Match match) {
  std::vector<int> out;
  std::vector<const boxfinder::BoxNode*> stack;
  if (root != nullptr) stack.push_back(root);
  while (!stack.empty()) {
    const boxfinder::BoxNode* node = stack.back();
    stack.pop_back();
    if (node->active && match(node->lo, node->hi)) out.push_back(node->clientId);
    if (node->right != nullptr) stack.push_back(node->right);
    if (node->left != nullptr) stack.push_back(node->left);
  }
  return out;
}

void Exercise(boxfinder::BoxTree& tree) {
  std::vector<boxfinder::BoxNode> nodes;
  const boxfinder::BoxNode* root = tree.ExportNodes(nodes);
  for (int k = 0; k < 8; ++k) {
    const double p[3] = {-0.5 + 0.3 * k, 0.25 * k - 0.5, 1.0 - 0.2 * k};
    const double q[3] = {p[0] + 0.5, p[1] + 1.0, p[2] + 0.25};
    Meshkit::List<int> out;
    tree.QueryPoint(p, out);
    Check(Ids(out) == Scan(root, [&](const double* lo, const double* hi) {
            return lo[0] <= p[0] && p[0] <= hi[0] && lo[1] <= p[1] && p[1] <= hi[1] &&
                   lo[2] <= p[2] && p[2] <= hi[2];
          }));
    tree.QueryRange(p, q, out);
    Check(Ids(out) == Scan(root, [&](const double* lo, const double* hi) {
            return q[0] >= lo[0] && hi[0] >= p[0] && q[1] >= lo[1] && hi[1] >= p[1] &&
                   q[2] >= lo[2] && hi[2] >= p[2];
          }));
  }
  const double lo[3] = {0, 0, 0}, hi[3] = {0.5, 0.5, 0.5};
  tree.InsertBox(lo, hi, 3);
  tree.RemoveBox(lo, hi, 5);
  tree.RemoveBox(hi, lo, 3);
}

void TryLoad(const std::string& state) {
  boxfinder::BoxTree tree;
  std::string error;
  if (!tree.LoadState(state.data(), state.size(), &error)) {
    Check(!error.empty() && tree.NodeCount() == 0);
    return;
  }
  std::string again;
  tree.SaveState(&again);
  Check(again == state);
  Exercise(tree);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  WriteSeedStates(*argc, *argv, [](int seed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(64 * (seed + 1)));
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      bytes[k] = static_cast<std::uint8_t>(k * 37 + static_cast<std::size_t>(seed));
    }
    ByteReader in(bytes.data(), bytes.size());
    boxfinder::BoxTree tree;
    MakeTree(in, &tree);
    std::string state;
    tree.SaveState(&state);
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
  boxfinder::BoxTree original;
  MakeTree(in, &original);
  std::string state;
  original.SaveState(&state);
  TryLoad(state);
  DamageState(in, &state);
  TryLoad(state);
  return 0;
}
