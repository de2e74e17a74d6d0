// The tree's storage: node blocks (the build's in mappings of large pages,
// later ones allocated one by one), their release, the memory count, and
// the exact subtree boxes that a build leaves to the first change.
#include <algorithm>
#include <cstring>
#include <new>

#include "box_tree.h"
#include "float_bounds.h"
#include "large_pages.h"

namespace boxfinder {
uint32_t BoxTree::NewNode(const double lo[3], const double hi[3], int32_t clientId,
                          uint32_t active) {
  if (nextFree_ < 0) AddBlock();
  const uint32_t i = static_cast<uint32_t>(nodeCount_);
  if (++nextFree_ == kNodesPerBlock) nextFree_ = -1;
  ++nodeCount_;
  Node& n = At(i);
  std::memcpy(n.lo, lo, sizeof n.lo);
  std::memcpy(n.hi, hi, sizeof n.hi);
  n.clientId = clientId;
  n.link[0] = n.link[1] = kNoNode;
  n.enter[0] = n.enter[1] = kNoNode;
  n.active = active;
  for (FloatBox& b : n.child) std::fill(b.lo, b.hi + 3, kNaNF);
  Bounds& b = BoundsOf(i);
  std::memcpy(b.lo, lo, sizeof b.lo);
  std::memcpy(b.hi, hi, sizeof b.hi);
  return i;
}

// A block allocated on its own, at the end of the table; callers reserve
// the tables first, so only the block may fail.
void BoxTree::AddBlock() {
  NodeBlock* b = new NodeBlock;
  added_.push_back(b);
  nodes_.push_back(b->nodes);
  bounds_.push_back(b->bounds);
  nextFree_ = 0;
}

void BoxTree::DestroyTree() {
  for (NodeBlock* b : added_) delete b;
  if (builtNodes_ != nullptr) UnmapPages(builtNodes_, builtNodeBytes_);
  if (builtBounds_ != nullptr) UnmapPages(builtBounds_, builtBoundsBytes_);
  builtNodes_ = builtBounds_ = nullptr;
  builtNodeBytes_ = builtBoundsBytes_ = 0;
  boundsReady_ = true;
  added_.clear();
  nodes_.clear();
  bounds_.clear();
  root_ = kNoNode;
  DropIndex();
  indexOrder_ = true;
  rootEnter_ = kNoNode;
  nextFree_ = -1;
  nodeCount_ = 0;
  height_ = 0;
}

std::size_t BoxTree::MemoryBytes() const {
  // The blocks (the built subtree boxes once they are in use), then the
  // tables and the stacks.
  // NOLINTBEGIN(bugprone-sizeof-expression)
  return sizeof *this + builtNodeBytes_ + (boundsReady_ ? builtBoundsBytes_ : 0) +
         added_.size() * sizeof(NodeBlock) + added_.capacity() * sizeof(NodeBlock*) +
         nodes_.capacity() * sizeof(Node*) + bounds_.capacity() * sizeof(Bounds*) +
         frames_.capacity() * sizeof(Frame) + scratch_.pending.capacity() * sizeof(const Node*) +
         scratch_.bounds.capacity() * sizeof(double) + scratch_.queue.capacity() * sizeof(Queued) +
         index_.MemoryBytes() + slotOf_.capacity() * sizeof(uint32_t) +
         scratch_.wide.capacity() * sizeof(QueryIndex::Frame);
  // NOLINTEND(bugprone-sizeof-expression)
}

// Room for one more node and for the stacks of a tree one level deeper, so
// that an insertion cannot fail half-way.
void BoxTree::ReserveForInsertion() {
  if (nodeCount_ >= static_cast<int64_t>(kNoNode)) throw std::bad_alloc();
  const auto grow = [](auto& v, std::size_t want) {
    if (v.capacity() < want) v.reserve(std::max(want, 2 * v.capacity()));
  };
  const std::size_t levels = static_cast<std::size_t>(height_ + 2);
  grow(frames_, levels);
  grow(scratch_.pending, levels);
  grow(scratch_.bounds, levels);
  if (nextFree_ < 0) {
    grow(added_, added_.size() + 1);
    grow(nodes_, nodes_.size() + 1);
    grow(bounds_, bounds_.size() + 1);
    AddBlock();
  }
}

// The blocks of a build, made in two mappings of large pages (nodes and
// subtree boxes). The mappings are trimmed to the blocks' size, so that the tree holds exactly as
// much memory as with one allocation per block; the blocks still hold 1000
// nodes each and are returned only with the tree.
void BoxTree::MapBuiltBlocks(std::size_t blocks) {
  builtNodeBytes_ = blocks * kNodesPerBlock * sizeof(Node);
  builtNodes_ = MapLargePages(builtNodeBytes_);
  builtBoundsBytes_ = blocks * kNodesPerBlock * sizeof(Bounds);
  builtBounds_ = MapLargePages(builtBoundsBytes_);
  for (std::size_t b = 0; b < blocks; ++b) {
    nodes_.push_back(static_cast<Node*>(builtNodes_) + b * kNodesPerBlock);
    bounds_.push_back(static_cast<Bounds*>(builtBounds_) + b * kNodesPerBlock);
  }
}

// The subtree boxes of a freshly built tree, children before parents
// (reverse pre-order); nothing else has changed since the build.
void BoxTree::EnsureBounds() const {
  if (boundsReady_) return;
  for (uint32_t i = static_cast<uint32_t>(nodeCount_); i-- > 0;) {
    const Node& node = At(i);
    Bounds& b = BoundsOf(i);
    std::memcpy(b.lo, node.lo, sizeof b.lo);
    std::memcpy(b.hi, node.hi, sizeof b.hi);
    RefreshBounds(i);
    WidenBounds(i);
  }
  boundsReady_ = true;
}

}  // namespace boxfinder
