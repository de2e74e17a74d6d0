// The box tree's wide query index (query_index.h): laid out over the
// binary tree after a build or the load of a tree never inserted into, kept
// up to date by removals, set aside by an insertion and laid out again once
// the queries since have walked the binary tree long enough to pay for it.
// The layout follows the links the queries follow: past chains of removed
// boxes (which moved boxes leave behind) and never into a subtree without
// an active box, so the index holds only what a query can reach.
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

uint32_t BoxTree::LiveChild(uint32_t i, int side) const {
  const Node& n = At(i);
  return IsEmpty(n.child[side].lo) ? kNoNode : n.enter[side];
}

void BoxTree::DropIndex() {
  index_.Clear();
  std::vector<uint32_t>().swap(slotOf_);
  walked_.store(0, std::memory_order_relaxed);
}

void BoxTree::SetIndexAside() {
  // Once set aside, the walks since go on counting across insertions.
  if (index_.Ready()) DropIndex();
}

// Queries walking the binary tree per node of it that pay for a layout: a
// layout costs about as much per node as an eighth of a query's walk.
constexpr int64_t kNodesPerPayingWalk = 8;

void BoxTree::RefreshQueryIndex() noexcept {
  if (index_.Ready() || root_ == kNoNode) return;
  if (walked_.load(std::memory_order_relaxed) * kNodesPerPayingWalk < nodeCount_) return;
  try {
    BuildQueryIndex();
  } catch (const std::bad_alloc&) {
    // The queries walk the binary tree, as they did, and pay for the next
    // attempt as they did for this one.
    DropIndex();
  }
}

void BoxTree::BuildQueryIndex() {
  DropIndex();
  // A tree without an active box that can match: an index with no node,
  // which answers nothing.
  const uint32_t entry = IsEmpty(rootBox_.lo) ? kNoNode : rootEnter_;
  if (entry == kNoNode) {
    index_.MarkReady();
    return;
  }
  // 1. The tree as the queries see it, in pre-order: position k holds node
  // node[k], its live children at positions kid[k][0] and kid[k][1]
  // (kNone: none). One walk reads each node's links once; everything after
  // runs over these arrays, and a position is the node's pre-order rank.
  struct Kids {
    uint32_t side[2];
  };
  std::vector<uint32_t, LargePageAllocator<uint32_t>> node;
  std::vector<Kids, LargePageAllocator<Kids>> kid;
  node.reserve(static_cast<std::size_t>(nodeCount_));
  kid.reserve(static_cast<std::size_t>(nodeCount_));
  {
    struct Pending {
      uint32_t node, parent;
      int side;
    };
    std::vector<Pending> walk{Pending{entry, QueryIndex::kNone, 0}};
    walk.reserve(static_cast<std::size_t>(height_ + 2));
    while (!walk.empty()) {
      const Pending at = walk.back();
      walk.pop_back();
      const auto k = static_cast<uint32_t>(node.size());
      if (at.parent != QueryIndex::kNone) kid[at.parent].side[at.side] = k;
      node.push_back(at.node);
      kid.push_back(Kids{{QueryIndex::kNone, QueryIndex::kNone}});
      for (int side = 1; side >= 0; --side) {
        const uint32_t child = LiveChild(at.node, side);
        if (child != kNoNode) walk.push_back(Pending{child, k, side});
      }
    }
  }
  const std::size_t count = node.size();
  // 2. Heights, children before parents, and the triangles: one for the
  // root and one for each link into a lower band.
  std::vector<uint32_t, LargePageAllocator<uint32_t>> height(count);
  std::size_t triangles = 1;
  for (std::size_t k = count; k-- > 0;) {
    uint32_t below = 0;
    for (const uint32_t c : kid[k].side)
      if (c != QueryIndex::kNone) below = std::max(below, height[c]);
    height[k] = below + 1;
    for (const uint32_t c : kid[k].side)
      if (c != QueryIndex::kNone && Band(height[c]) != Band(height[k])) ++triangles;
  }

  // 3. The layout, triangle by triangle in pre-order (children pushed in
  // reverse onto a stack), so that the wide nodes are numbered as the walks
  // meet them. A triangle: its top position, the wide node and child it
  // hangs from, the position and side of the link into it, and its level.
  struct Triangle {
    uint32_t top;
    uint32_t parent;
    int child;
    uint32_t above;
    int side;
    std::size_t level;
  };
  // Its positions by slot (kNone where there is none), and the links
  // leaving it by the child they are taken as.
  uint32_t slot[QueryIndex::kTriangleSlots];
  struct Leaving {
    uint32_t above;
    int side;
  };
  Leaving leaving[QueryIndex::kSlots];
  const auto fill = [&](uint32_t top) {
    std::fill(slot, slot + QueryIndex::kTriangleSlots, QueryIndex::kNone);
    for (Leaving& l : leaving) l = Leaving{QueryIndex::kNone, 0};
    const uint32_t band = Band(height[top]);
    const int levels = static_cast<int>(height[top] - kLevels * (band - 1));
    slot[TopSlot(levels)] = top;
    for (int s = TopSlot(levels); s < QueryIndex::kTriangleSlots; ++s) {
      if (slot[s] == QueryIndex::kNone) continue;
      for (int side = 0; side < 2; ++side) {
        const uint32_t child = kid[slot[s]].side[side];
        if (child == QueryIndex::kNone) continue;
        const int q = 2 * s + 1 + side;
        if (q < QueryIndex::kTriangleSlots && Band(height[child]) == band)
          slot[q] = child;
        else
          leaving[q < QueryIndex::kTriangleSlots ? ChildBelow(q) : q - QueryIndex::kTriangleSlots] =
              Leaving{slot[s], side};
      }
    }
  };
  slotOf_.assign(static_cast<std::size_t>(BlockCount()) * kNodesPerBlock, kNoNode);
  index_.Reserve(triangles, triangles / QueryIndex::kSlots + 1);
  std::size_t levels = 0;
  std::vector<Triangle> stack{Triangle{0, QueryIndex::kNone, 0, QueryIndex::kNone, 0, 1}};
  while (!stack.empty()) {
    const Triangle t = stack.back();
    stack.pop_back();
    const uint32_t w = index_.AddNode();
    if (t.parent != QueryIndex::kNone) {
      // The float box the binary tree prunes this subtree with.
      const FloatBox& box = At(node[t.above]).child[t.side];
      index_.SetChild(t.parent, t.child, box.lo, box.hi, w);
    }
    levels = std::max(levels, t.level);
    fill(t.top);
    for (int s = 0; s < QueryIndex::kTriangleSlots; ++s) {
      if (slot[s] == QueryIndex::kNone) continue;
      const uint32_t i = node[slot[s]];
      const Node& n = At(i);
      // A position is the pre-order rank that orders the nearest boxes.
      index_.SetEntry(w, s, n.lo, n.hi, n.clientId, slot[s], n.active != 0);
      slotOf_[i] = w * QueryIndex::kSlots + static_cast<uint32_t>(s);
    }
    for (int c = QueryIndex::kSlots; c-- > 0;) {
      const Leaving& l = leaving[c];
      if (l.above == QueryIndex::kNone) continue;
      stack.push_back(Triangle{kid[l.above].side[l.side], w, c, l.above, l.side, t.level + 1});
    }
    // The next triangle's nodes lie in pre-order from its top on (all of
    // them for the many at the bottom): fetched now, while this one's
    // entries are written, rather than one miss at a time.
    if (!stack.empty()) {
      const std::size_t from = stack.back().top;
      const std::size_t to = std::min(count, from + QueryIndex::kTriangleSlots);
      for (std::size_t k = from; k < to; ++k) {
        const char* record = reinterpret_cast<const char*>(&At(node[k]));
        __builtin_prefetch(record);
        __builtin_prefetch(record + sizeof(Node) - 1);
      }
    }
  }
  index_.SetHeight(levels);
  index_.MarkReady();
  scratch_.wide.reserve(levels + 1);
}

}  // namespace boxfinder
