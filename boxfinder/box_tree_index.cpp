// The box tree's wide query index (query_index.h): made from the binary
// tree after a build or the load of a tree never inserted into, kept up to
// date by removals, and set aside by the first insertion, after which the
// queries walk the binary tree itself (which passes by chains of removed
// boxes that moved boxes leave, where the index would walk them).
#include <algorithm>
#include <vector>

#include "box_tree.h"

namespace boxfinder {

namespace {

// Levels of a triangle. A node's band is ceil(height / 4), its height
// counting the levels of its subtree; a triangle is a band's nodes joined
// by links, topped by the root or by a node in a lower band than its
// parent's. Heights fall by at least one a level, so a triangle spans at
// most four levels: one whose top has height h spans h - 4 (band - 1) of
// them, its top sits that many levels down the heap layout (the slots
// above stay empty), and the deepest triangles are full rather than
// holding one level each.
constexpr int kLevels = 4;
constexpr uint32_t Band(uint32_t height) { return (height + kLevels - 1) / kLevels; }
constexpr int TopSlot(int levels) { return (1 << (kLevels - levels)) - 1; }

// The child a link leaving the triangle at heap slot q (an empty slot) is
// taken as: the leftmost below q at the bottom. Only empty slots lie on the
// way, so the child keeps its place in the pre-order of the items.
constexpr int ChildBelow(int q) {
  while (q < QueryIndex::kBottomSlot) q = 2 * q + 1;
  return 2 * (q - QueryIndex::kBottomSlot);
}

}  // namespace

void BoxTree::BuildQueryIndex() {
  index_.Clear();
  slotOf_.clear();
  if (root_ == kNoNode) return;
  // Node numbers are block * kNodesPerBlock + slot, below this.
  const std::size_t numbers = static_cast<std::size_t>(BlockCount()) * kNodesPerBlock;
  // Heights, children before parents (a pre-order walk, then backwards),
  // and each node's pre-order rank, which orders the nearest boxes.
  std::vector<uint32_t> height(numbers, 0);
  std::vector<uint32_t> rank(numbers, 0);
  {
    std::vector<uint32_t> order;
    order.reserve(static_cast<std::size_t>(nodeCount_));
    std::vector<uint32_t> walk{root_};
    while (!walk.empty()) {
      const uint32_t i = walk.back();
      walk.pop_back();
      order.push_back(i);
      for (int side = 1; side >= 0; --side)
        if (At(i).link[side] != kNoNode) walk.push_back(At(i).link[side]);
    }
    for (std::size_t k = order.size(); k-- > 0;) {
      const Node& node = At(order[k]);
      uint32_t below = 0;
      for (const uint32_t child : node.link)
        if (child != kNoNode) below = std::max(below, height[child]);
      height[order[k]] = below + 1;
    }
    for (std::size_t k = 0; k < order.size(); ++k) rank[order[k]] = static_cast<uint32_t>(k);
  }
  // A triangle to be laid out: its top node, the wide node and child it
  // hangs from, the binary node and side above it, and its level. The
  // first pass finds them all in pre-order (children pushed in reverse onto
  // a stack), so that the storage is reserved once and the walks run
  // forwards.
  struct Triangle {
    uint32_t top;
    uint32_t parent;
    int child;
    uint32_t above;
    int side;
    std::size_t level;
  };
  uint32_t slot[QueryIndex::kTriangleSlots];
  // The triangle's nodes by slot (kNoNode where there is none), and the
  // links leaving it by the child they are taken as.
  struct Leaving {
    uint32_t above;
    int side;
  };
  Leaving leaving[QueryIndex::kSlots];
  const auto fill = [&](uint32_t top) {
    std::fill(slot, slot + QueryIndex::kTriangleSlots, kNoNode);
    for (Leaving& l : leaving) l = Leaving{kNoNode, 0};
    const uint32_t band = Band(height[top]);
    const int levels = static_cast<int>(height[top] - kLevels * (band - 1));
    slot[TopSlot(levels)] = top;
    for (int s = TopSlot(levels); s < QueryIndex::kTriangleSlots; ++s) {
      if (slot[s] == kNoNode) continue;
      for (int side = 0; side < 2; ++side) {
        const uint32_t child = At(slot[s]).link[side];
        if (child == kNoNode) continue;
        const int q = 2 * s + 1 + side;
        if (q < QueryIndex::kTriangleSlots && Band(height[child]) == band)
          slot[q] = child;
        else
          leaving[q < QueryIndex::kTriangleSlots ? ChildBelow(q) : q - QueryIndex::kTriangleSlots] =
              Leaving{slot[s], side};
      }
    }
  };
  std::vector<Triangle> triangles;
  std::vector<Triangle> stack{Triangle{root_, QueryIndex::kNone, 0, kNoNode, 0, 1}};
  std::size_t parents = 0;
  while (!stack.empty()) {
    const Triangle t = stack.back();
    stack.pop_back();
    const auto w = static_cast<uint32_t>(triangles.size());
    triangles.push_back(t);
    fill(t.top);
    const std::size_t before = stack.size();
    for (int c = QueryIndex::kSlots; c-- > 0;) {
      const Leaving& l = leaving[c];
      if (l.above == kNoNode) continue;
      stack.push_back(Triangle{At(l.above).link[l.side], w, c, l.above, l.side, t.level + 1});
    }
    if (stack.size() > before) ++parents;
  }

  slotOf_.assign(numbers, kNoNode);
  index_.Reserve(triangles.size(), parents);
  std::size_t levels = 0;
  for (const Triangle& t : triangles) {
    const uint32_t w = index_.AddNode();
    if (t.parent != QueryIndex::kNone) {
      // The float box the binary tree prunes this subtree with.
      const FloatBox& box = At(t.above).child[t.side];
      index_.SetChild(t.parent, t.child, box.lo, box.hi, w);
    }
    levels = std::max(levels, t.level);
    fill(t.top);
    for (int s = 0; s < QueryIndex::kTriangleSlots; ++s) {
      if (slot[s] == kNoNode) continue;
      const Node& node = At(slot[s]);
      index_.SetEntry(w, s, node.lo, node.hi, node.clientId, rank[slot[s]], node.active != 0);
      slotOf_[slot[s]] = w * QueryIndex::kSlots + static_cast<uint32_t>(s);
    }
  }
  index_.SetHeight(levels);
  index_.MarkReady();
  scratch_.wide.reserve(levels + 1);
}

}  // namespace boxfinder
