// The box tree's wide query index (query_index.h): made from the binary
// tree after a build or a state load, kept up to date by removals, and set
// aside by the first insertion, after which the queries walk the binary
// tree itself.
#include <algorithm>
#include <vector>

#include "box_tree.h"

namespace boxfinder {

namespace {

// Levels of a triangle, and where its top node lies in a triangle of
// `levels` levels: the triangle of the root takes what is left over from
// whole triangles below it, so that the deepest triangles are full rather
// than holding one level each; its top sits that many levels down the
// heap layout, and the slots above stay empty.
constexpr int kLevels = 4;
constexpr int TopSlot(int levels) { return (1 << (kLevels - levels)) - 1; }

}  // namespace

void BoxTree::BuildQueryIndex() {
  index_.Clear();
  slotOf_.clear();
  if (root_ == kNoNode) return;
  // A triangle to be laid out: its top node, the wide node and child it
  // hangs from, the binary node above it, and its level. The first pass
  // finds them all in pre-order (children pushed in reverse onto a stack),
  // so that the storage is reserved once and the walks run forwards.
  struct Triangle {
    uint32_t top;
    uint32_t parent;
    int child;
    uint32_t above;
    std::size_t level;
  };
  const int rootLevels = static_cast<int>((height_ - 1) % kLevels) + 1;
  uint32_t slot[QueryIndex::kTriangleSlots];
  // The triangle's nodes by slot, kNoNode where there is none.
  const auto fill = [this, &slot](uint32_t top, int first) {
    std::fill(slot, slot + QueryIndex::kTriangleSlots, kNoNode);
    slot[first] = top;
    for (int s = first; s < QueryIndex::kBottomSlot; ++s)
      for (int side = 0; side < 2; ++side)
        slot[2 * s + 1 + side] = slot[s] == kNoNode ? kNoNode : At(slot[s]).link[side];
  };
  std::vector<Triangle> triangles;
  std::vector<Triangle> stack{Triangle{root_, QueryIndex::kNone, 0, kNoNode, 1}};
  std::size_t parents = 0;
  while (!stack.empty()) {
    const Triangle t = stack.back();
    stack.pop_back();
    const auto w = static_cast<uint32_t>(triangles.size());
    triangles.push_back(t);
    fill(t.top, t.parent == QueryIndex::kNone ? TopSlot(rootLevels) : 0);
    const std::size_t before = stack.size();
    for (int c = 2 * (QueryIndex::kTriangleSlots - QueryIndex::kBottomSlot); c-- > 0;) {
      const uint32_t above = slot[QueryIndex::kBottomSlot + c / 2];
      if (above == kNoNode || At(above).link[c % 2] == kNoNode) continue;
      stack.push_back(Triangle{At(above).link[c % 2], w, c, above, t.level + 1});
    }
    if (stack.size() > before) ++parents;
  }

  slotOf_.assign(static_cast<std::size_t>(nodeCount_), kNoNode);
  index_.Reserve(triangles.size(), parents);
  std::size_t height = 0;
  for (const Triangle& t : triangles) {
    const uint32_t w = index_.AddNode();
    if (t.parent != QueryIndex::kNone) {
      // The float box the binary tree prunes this subtree with.
      const FloatBox& box = At(t.above).child[t.child % 2];
      index_.SetChild(t.parent, t.child, box.lo, box.hi, w);
    }
    height = std::max(height, t.level);
    fill(t.top, t.parent == QueryIndex::kNone ? TopSlot(rootLevels) : 0);
    for (int s = 0; s < QueryIndex::kTriangleSlots; ++s) {
      if (slot[s] == kNoNode) continue;
      const Node& node = At(slot[s]);
      index_.SetEntry(w, s, node.lo, node.hi, node.clientId, node.active != 0);
      slotOf_[slot[s]] = w * QueryIndex::kSlots + static_cast<uint32_t>(s);
    }
  }
  index_.SetHeight(height);
  index_.MarkReady();
  scratch_.wide.reserve(height + 1);
}

}  // namespace boxfinder
