// QueryIndex: the box tree's query side laid out for the hardware. The
// binary tree is cut into triangles of four levels (up to 15 nodes); one
// wide node holds a triangle's exact boxes and ids side by side (structure
// of arrays), and for the up to 16 subtrees hanging below the triangle their
// float boxes (rounded outwards, around their active boxes) and the wide
// nodes that hold them. A query tests a whole triangle and its 16 children
// in one visit instead of following four levels of links one by one.
//
// The index mirrors the binary tree node for node, so a walk that takes a
// wide node's entries and children in the pre-order of their triangle gives
// exactly the binary tree's pre-order: no keys and no sort. A removed box is
// flagged where it lies (its entry admits nothing); the children's float
// boxes may then be wider than their active boxes, which prunes less and
// changes no result.
//
// Each entry also carries its pre-order rank in the binary tree, which
// orders the nearest boxes at equal distance: the nearest-box walk goes
// nearest subtree first and so meets the boxes out of pre-order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <meshkit/list.h>

#include "large_pages.h"
#include "nearest.h"

namespace boxfinder {

class QueryIndex {
 public:
  // Slots of a triangle in heap order: slot s has children 2s+1 and 2s+2;
  // the bottom slots 7..14 have subtrees c = 2(s-7) and 2(s-7)+1 below.
  static constexpr int kSlots = 16;  // 15 used, one padding
  static constexpr int kBottomSlot = 7;
  static constexpr int kTriangleSlots = 15;
  static constexpr uint32_t kNone = 0xffffffffu;

  struct Frame {
    uint32_t wide;
    uint32_t rest;  // items of the node's pre-order still to take, one bit each
  };
  // A wide node waiting on the nearest walk's stack: a distance no box
  // below it is nearer than, and a rank none of theirs is below.
  struct Waiting {
    double bound;
    uint32_t rank;
    uint32_t wide;
    uint32_t children;  // the wide node's Children, fetched with it
  };

  // Forgets every node; Ready() is false until MarkReady.
  void Clear();
  bool Ready() const { return ready_; }
  // Once every entry and child is set: works out each child's least rank
  // (its top entry's) for the nearest walk, then the index answers.
  void MarkReady();
  // A new wide node with every entry and child empty; returns its number.
  uint32_t AddNode();
  // Room for `nodes` wide nodes, `parents` of them with children below.
  void Reserve(std::size_t nodes, std::size_t parents) {
    nodes_.reserve(nodes);
    children_.reserve(parents);
  }
  // Entry `slot` of wide node w: an exact box, its id and its pre-order
  // rank in the binary tree; inactive entries admit nothing.
  void SetEntry(uint32_t w, int slot, const double lo[3], const double hi[3], int32_t id,
                uint32_t rank, bool active);
  void Deactivate(uint32_t w, int slot);
  // Child c of wide node w: the float box around its active boxes (NaN:
  // none) and the wide node holding it.
  void SetChild(uint32_t w, int c, const float lo[3], const float hi[3], uint32_t child);
  // Levels of wide nodes on the deepest path, for the walks' stacks.
  void SetHeight(std::size_t height) { height_ = height; }
  std::size_t Height() const { return height_; }
  std::size_t MemoryBytes() const;

  // Ids of the active entries holding p, or overlapping [qlo, qhi], in the
  // pre-order of the binary tree the index mirrors. `stack` is the walk's
  // room (reserved for Height() + 1 frames, so it does not allocate).
  void QueryPoint(const double p[3], std::vector<Frame>& stack, Meshkit::List<int>& out) const;
  void QueryRange(const double qlo[3], const double qhi[3], std::vector<Frame>& stack,
                  Meshkit::List<int>& out) const;
  // Offers `best` every active entry that could be among the nearest to p
  // (p without NaN): a wide node is visited only while its bound and rank
  // could precede the farthest box kept; `stack` is the walk's room.
  void Nearest(const double p[3], NearestBest& best, std::vector<Waiting>& stack) const;

 private:
  struct alignas(64) Children {
    float lo[3][kSlots];
    float hi[3][kSlots];
    uint32_t node[kSlots];
    uint32_t rank[kSlots];   // the least rank of the boxes below
    uint32_t below[kSlots];  // the child's own Children, kNone for none
  };
  // The entries' boxes twice: rounded outwards to float, which a query
  // tests first (half the lines to read), and exact, which it reads only
  // for an entry whose float test cannot decide (a query corner within one
  // float step of the box's side).
  struct alignas(64) Node {
    float flo[3][kSlots];
    float fhi[3][kSlots];
    int32_t id[kSlots];
    // The ranks share a line with the index into children_ (kNone when
    // nothing hangs below): the padding slot needs no rank.
    uint32_t children;
    uint32_t rank[kTriangleSlots];  // kNone for an empty slot
    alignas(64) double lo[3][kSlots];
    double hi[3][kSlots];
  };
  // What a query reads of every node it enters, from the node's start.
  static constexpr std::size_t kTestedBytes = offsetof(Node, lo);
  template <class EntryMask, class ChildMask>
  void Walk(EntryMask entries, ChildMask childMask, std::vector<Frame>& stack,
            Meshkit::List<int>& out) const;

  // In large pages: a query's visits land all over the index.
  std::vector<Node, LargePageAllocator<Node>> nodes_;
  std::vector<Children, LargePageAllocator<Children>> children_;
  std::size_t height_ = 0;
  bool ready_ = false;
};

}  // namespace boxfinder
