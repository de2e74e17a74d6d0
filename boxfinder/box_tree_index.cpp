// The box tree's wide query index (query_index.h): laid out over the
// binary tree after a build or a state load, and kept up to date by
// removals (which flag an entry) and insertions (which add an entry or a
// wide node and widen the children's float boxes above it), until the wide
// nodes insertions made pass a quarter of those laid out: then it is laid
// out again, at a cost amortised over those insertions.
#include <algorithm>
#include <new>
#include <vector>

#include "box_tree.h"
#include "float_bounds.h"

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
  // Heights, children before parents (a pre-order walk, then backwards).
  std::vector<uint32_t> height(static_cast<std::size_t>(nodeCount_), 0);
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

  // Node numbers are block * kNodesPerBlock + slot, below this.
  slotOf_.assign(static_cast<std::size_t>(BlockCount()) * kNodesPerBlock, kNoNode);
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
      index_.SetEntry(w, s, node.lo, node.hi, node.clientId, node.active != 0);
      slotOf_[slot[s]] = w * QueryIndex::kSlots + static_cast<uint32_t>(s);
    }
  }
  index_.SetHeight(levels);
  index_.MarkReady();
  scratch_.wide.reserve(levels + 1);
  laidOut_ = index_.NodeCount();
  indexDebt_ = 0;
}

void BoxTree::ReserveIndexForInsertion() {
  if (!index_.Ready()) return;
  index_.ReserveOneMore();
  // The new node may lie in a block added for it.
  const std::size_t numbers = static_cast<std::size_t>(BlockCount()) * kNodesPerBlock;
  if (slotOf_.size() < numbers) {
    if (slotOf_.capacity() < numbers) slotOf_.reserve(std::max(numbers, 2 * slotOf_.capacity()));
    slotOf_.resize(numbers, kNoNode);
  }
  if (scratch_.wide.capacity() < index_.Height() + 2) scratch_.wide.reserve(index_.Height() + 2);
}

void BoxTree::RefreshIndexEntry(uint32_t i) {
  const Node& node = At(i);
  const uint32_t w = slotOf_[i] / QueryIndex::kSlots;
  index_.SetEntry(w, static_cast<int>(slotOf_[i] % QueryIndex::kSlots), node.lo, node.hi,
                  node.clientId, node.active != 0);
  if (node.active && CanMatch(node.lo, node.hi)) index_.Widen(w, node.lo, node.hi);
}

void BoxTree::FollowInsertion(uint32_t parent, int side, uint32_t fresh) {
  bool layOut = false;
  if (!index_.Ready()) {
    // A tree grown by insertions alone gets an index after a while too.
    layOut = ++indexDebt_ > 64 + static_cast<std::size_t>(nodeCount_) / 16;
  } else if (parent == kNoNode) {
    layOut = true;
  } else {
    const uint32_t at = slotOf_[parent];
    const uint32_t w = at / QueryIndex::kSlots;
    const int q = 2 * static_cast<int>(at % QueryIndex::kSlots) + 1 + side;
    if (q < QueryIndex::kTriangleSlots) {
      // An empty slot of the parent's triangle (nothing hangs below it).
      slotOf_[fresh] = w * QueryIndex::kSlots + static_cast<uint32_t>(q);
    } else {
      // Below the triangle's bottom: a wide node of its own, whose top slot
      // the nodes later hung below it fill downwards.
      const uint32_t made = index_.AddNode();
      const float nan[3] = {kNaNF, kNaNF, kNaNF};
      index_.SetChild(w, q - QueryIndex::kTriangleSlots, nan, nan, made);
      slotOf_[fresh] = made * QueryIndex::kSlots;
      std::size_t level = 1;
      for (uint32_t up = made; index_.ParentOf(up) != QueryIndex::kNone;
           up = index_.ParentOf(up) / QueryIndex::kSlots)
        ++level;
      index_.SetHeight(std::max(index_.Height(), level));
      layOut = ++indexDebt_ > laidOut_ / 4 + 64;
    }
    RefreshIndexEntry(fresh);
    RefreshIndexEntry(parent);
    // The parent's left child may have taken the new box (see InsertBox).
    if (At(parent).link[0] != kNoNode) RefreshIndexEntry(At(parent).link[0]);
  }
  if (!layOut) return;
  try {
    BuildQueryIndex();
  } catch (const std::bad_alloc&) {
    // The queries walk the binary tree until a later insertion tries again.
    index_.Clear();
    slotOf_.clear();
    indexDebt_ = 0;
  }
}

}  // namespace boxfinder
