// The tree with its updates: the subtree boxes and the queries' boxes kept
// up to date, the balanced build, insertion and removal, and the export for
// inspection.
#include "box_tree.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "float_bounds.h"
#include "large_pages.h"
#include "median_split.h"

namespace boxfinder {

// ---- Subtree boxes --------------------------------------------------------

// The exact subtree box: the union of the children's (one child: its box; a
// leaf is left alone). A NaN coordinate never enters while any box below has
// a number there, so a box with NaN coordinates cannot hide its neighbours.
void BoxTree::RefreshBounds(uint32_t i) const {
  const Node& n = At(i);
  Bounds& b = BoundsOf(i);
  if (n.link[0] != kNoNode && n.link[1] != kNoNode) {
    const Bounds& l = BoundsOf(n.link[0]);
    const Bounds& r = BoundsOf(n.link[1]);
    for (int a = 0; a < 3; ++a) {
      b.lo[a] = LowerOf(l.lo[a], r.lo[a]);
      b.hi[a] = UpperOf(l.hi[a], r.hi[a]);
    }
  } else if (n.link[0] != kNoNode || n.link[1] != kNoNode) {
    b = BoundsOf(n.link[0] != kNoNode ? n.link[0] : n.link[1]);
  }
}

// Takes in the node's own box.
void BoxTree::WidenBounds(uint32_t i) const {
  const Node& n = At(i);
  Bounds& b = BoundsOf(i);
  for (int a = 0; a < 3; ++a) {
    if (b.lo[a] > n.lo[a] || b.lo[a] != b.lo[a]) b.lo[a] = n.lo[a];
    if (n.hi[a] > b.hi[a] || b.hi[a] != b.hi[a]) b.hi[a] = n.hi[a];
  }
}

// The queries' box of node i: the union of its children's and of its own box
// when it is active and can match at all; NaN throughout when none is.
BoxTree::FloatBox BoxTree::ActiveBoxOf(uint32_t i) const {
  const Node& n = At(i);
  FloatBox box;
  if (n.active && CanMatch(n.lo, n.hi)) {
    for (int a = 0; a < 3; ++a) {
      box.lo[a] = FloatBelow(n.lo[a]);
      box.hi[a] = FloatAbove(n.hi[a]);
    }
  } else {
    std::fill(box.lo, box.hi + 3, kNaNF);
  }
  for (const FloatBox& c : n.child) {
    for (int a = 0; a < 3; ++a) {
      box.lo[a] = LowerOfF(box.lo[a], c.lo[a]);
      box.hi[a] = UpperOfF(box.hi[a], c.hi[a]);
    }
  }
  return box;
}

// Where a query entering node i goes on: i itself, unless i is removed and
// only one of its children has active boxes below it, when the query may as
// well enter that child (i gives nothing, and its active box is the child's).
uint32_t BoxTree::EnterOf(uint32_t i) const {
  const Node& n = At(i);
  if (n.active) return i;
  const bool left = !IsEmpty(n.child[0].lo), right = !IsEmpty(n.child[1].lo);
  if (left == right) return i;
  return n.enter[left ? 0 : 1];
}

// Node i's copies of its children's boxes and entries, from the children
// themselves.
void BoxTree::RefreshChildBoxes(uint32_t i) {
  for (int side = 0; side < 2; ++side) {
    const uint32_t c = At(i).link[side];
    Node& n = At(i);
    if (c == kNoNode) {
      std::fill(n.child[side].lo, n.child[side].hi + 3, kNaNF);
      n.enter[side] = kNoNode;
    } else {
      n.child[side] = ActiveBoxOf(c);
      n.enter[side] = EnterOf(c);
    }
  }
}

// Puts node i's box and entry where its parent (kNoNode: the tree, for the
// root) keeps them. Returns whether they changed (when they did not, no
// ancestor's change).
bool BoxTree::StoreActiveBox(uint32_t i, uint32_t parent) {
  const FloatBox box = ActiveBoxOf(i);
  const uint32_t enter = EnterOf(i);
  const int side = parent == kNoNode ? 0 : At(parent).link[0] == i ? 0 : 1;
  FloatBox& to = parent == kNoNode ? rootBox_ : At(parent).child[side];
  uint32_t& toEnter = parent == kNoNode ? rootEnter_ : At(parent).enter[side];
  if (std::memcmp(&to, &box, sizeof box) == 0 && toEnter == enter) return false;
  to = box;
  toEnter = enter;
  return true;
}

// Refreshes and widens every node on the frame stack, innermost first; the
// active boxes only as far up as they change.
void BoxTree::RefreshAndWidenStack(bool activeChanged) {
  for (std::size_t k = frames_.size(); k-- > 0;) {
    const uint32_t i = frames_[k].node;
    RefreshBounds(i);
    WidenBounds(i);
    if (activeChanged) activeChanged = StoreActiveBox(i, k > 0 ? frames_[k - 1].node : kNoNode);
  }
  frames_.clear();
}

// ---- Balanced build -------------------------------------------------------

void BoxTree::BuildFromArrays(int n, const double* lowerCorners, const double* upperCorners,
                              const int32_t* clientIds) {
  DestroyTree();
  if (n <= 0) return;
  try {
    const auto count = static_cast<std::size_t>(n);
    const LargePageArray<BuildRecord> rec(count);
    const LargePageArray<double> candV(count);
    const LargePageArray<int32_t> candPos(count);
    const Candidates cand{candV.get(), candPos.get()};
    // sourceOf[e]: where node e's box lies in the caller's arrays.
    const LargePageArray<int32_t> sourceOf(count);
    for (int i = 0; i < n; ++i) {
      Centre(lowerCorners + 3 * i, upperCorners + 3 * i, rec[i].c);
      rec[i].index = i;
      rec[i].clientId = clientIds[i];
    }
    const int blocks = (n + kNodesPerBlock - 1) / kNodesPerBlock;
    nodes_.reserve(static_cast<std::size_t>(blocks));
    bounds_.reserve(static_cast<std::size_t>(blocks));
    MapBuiltBlocks(static_cast<std::size_t>(blocks));

    // 1. Shape: an explicit stack with a frame per level on the path being
    // built. Node e is made parent first, then its left subtree (nodes e+1 ..
    // e+r), then its right one (from e+r+1): pre-order. Only the links and
    // the id are written here, and the box's place in the caller's arrays.
    struct BuildFrame {
      int begin, count, depth;
    };
    std::vector<BuildFrame> stack;
    stack.reserve(64);
    stack.push_back(BuildFrame{0, n, 0});
    int64_t height = 0;
    uint32_t e = 0;
    while (!stack.empty()) {
      const BuildFrame f = stack.back();
      stack.pop_back();
      BuildRecord* part = rec.get() + f.begin;
      const int r = PartitionAtMedian(f.count, f.depth % 3, part, cand);
      Node& node = At(e);
      node.clientId = part[r].clientId;
      sourceOf[e] = part[r].index;
      node.link[0] = r > 0 ? e + 1 : kNoNode;
      node.link[1] = r < f.count - 1 ? e + static_cast<uint32_t>(r) + 1 : kNoNode;
      height = std::max<int64_t>(height, f.depth + 1);
      ++e;
      // Right pushed first so that the left subtree is made first.
      if (r < f.count - 1)
        stack.push_back(BuildFrame{f.begin + r + 1, f.count - r - 1, f.depth + 1});
      if (r > 0) stack.push_back(BuildFrame{f.begin, r, f.depth + 1});
    }
    nodeCount_ = n;
    nextFree_ = n % kNodesPerBlock == 0 ? -1 : n % kNodesPerBlock;
    root_ = 0;
    // 2. Boxes and the queries' boxes, children before parents (reverse
    // pre-order). The boxes are gathered from the caller's arrays in an order
    // unrelated to theirs, so each is fetched some nodes ahead.
    constexpr uint32_t kAhead = 8;
    for (uint32_t i = static_cast<uint32_t>(n); i-- > 0;) {
      if (i >= kAhead) {
        const int32_t ahead = sourceOf[i - kAhead];
        __builtin_prefetch(lowerCorners + 3 * ahead);
        __builtin_prefetch(upperCorners + 3 * ahead);
      }
      Node& node = At(i);
      // The shape pass made nodes 0 .. n-1 and wrote each one's source.
      const int32_t src = sourceOf[i];  // NOLINT(clang-analyzer-core.uninitialized.Assign)
      std::memcpy(node.lo, lowerCorners + 3 * src, sizeof node.lo);
      std::memcpy(node.hi, upperCorners + 3 * src, sizeof node.hi);
      node.active = 1;
      RefreshChildBoxes(i);
    }
    rootBox_ = ActiveBoxOf(root_);
    rootEnter_ = EnterOf(root_);
    boundsReady_ = false;
    indexOrder_ = true;
    height_ = height;
    frames_.reserve(static_cast<std::size_t>(height_ + 1));
    scratch_.pending.reserve(static_cast<std::size_t>(height_ + 1));
    scratch_.bounds.reserve(static_cast<std::size_t>(height_ + 1));
    BuildQueryIndex();
  } catch (...) {
    DestroyTree();
    throw;
  }
}

// ---- Insertion ------------------------------------------------------------

void BoxTree::InsertBox(const double lo[3], const double hi[3], int32_t clientId) {
  double c[3];
  Centre(lo, hi, c);
  // Everything that may fail is done before the tree changes.
  ReserveForInsertion();
  EnsureBounds();
  indexOrder_ = false;
  // The wide index cannot follow the nodes an insertion moves: the queries
  // walk the binary tree until RefreshQueryIndex lays it out again.
  SetIndexAside();
  if (root_ == kNoNode) {
    root_ = NewNode(lo, hi, clientId, 1);
    rootBox_ = ActiveBoxOf(root_);
    rootEnter_ = EnterOf(root_);
    height_ = std::max<int64_t>(height_, 1);
    return;
  }
  frames_.clear();
  uint32_t i = root_;
  int64_t depth = 0;
  for (;;) {
    const Node& n = At(i);
    if (n.link[0] == kNoNode || n.link[1] == kNoNode) break;
    frames_.push_back(Frame{i, 0, depth});
    const int axis = static_cast<int>(depth % 3);
    i = (n.lo[axis] + n.hi[axis]) * 0.5 > c[axis] ? n.link[0] : n.link[1];
    ++depth;
  }
  frames_.push_back(Frame{i, 0, depth});
  const int axis = static_cast<int>(depth % 3);
  Node* node = &At(i);
  const double centre = (node->lo[axis] + node->hi[axis]) * 0.5;
  // A copy of this node's content, pushed down one level.
  const auto pushDown = [&] {
    const uint32_t copy = NewNode(node->lo, node->hi, node->clientId, node->active);
    node = &At(i);
    return copy;
  };
  const auto take = [lo, hi, clientId](Node& to) {
    std::memcpy(to.lo, lo, sizeof to.lo);
    std::memcpy(to.hi, hi, sizeof to.hi);
    to.clientId = clientId;
    to.active = 1;
  };
  if (node->link[0] == kNoNode) {
    if (centre > c[axis]) {
      const uint32_t added = NewNode(lo, hi, clientId, 1);
      At(i).link[0] = added;
    } else {
      const uint32_t copy = pushDown();
      node->link[0] = copy;
      take(*node);
    }
  } else if (c[axis] >= centre) {
    const uint32_t added = NewNode(lo, hi, clientId, 1);
    At(i).link[1] = added;
  } else {
    const uint32_t copy = pushDown();
    node->link[1] = copy;
    const uint32_t li = node->link[0];
    Node& left = At(li);
    if (c[axis] > (left.lo[axis] + left.hi[axis]) * 0.5) {
      take(*node);
    } else {
      // This node takes the left child's content and the left child the new
      // box, with a subtree box that also takes in this node's former one.
      const Bounds old = BoundsOf(i);
      std::memcpy(node->lo, left.lo, sizeof node->lo);
      std::memcpy(node->hi, left.hi, sizeof node->hi);
      node->clientId = left.clientId;
      node->active = left.active;
      take(left);
      Bounds& lb = BoundsOf(li);
      for (int a = 0; a < 3; ++a) {
        lb.lo[a] = LowerOf(old.lo[a], lo[a]);
        lb.hi[a] = UpperOf(old.hi[a], hi[a]);
      }
    }
  }
  height_ = std::max(height_, depth + 2);
  // The children of the node where the walk ended are new or changed.
  RefreshChildBoxes(i);
  RefreshAndWidenStack(true);
}

// ---- Removal --------------------------------------------------------------

bool BoxTree::RemoveBox(const double lo[3], const double hi[3], int32_t clientId) {
  if (root_ == kNoNode) return false;
  EnsureBounds();
  double c[3];
  Centre(lo, hi, c);
  // The search guided by the centres: left where the node's centre is not
  // below the box's centre on the level's axis, right where it is not above
  // (and into a child sharing the node's centre coordinate either way).
  const auto byCentre = [this, c](const Node& node, uint32_t child, bool leftSide, int axis) {
    const Node& k = At(child);
    const double nc = (node.lo[axis] + node.hi[axis]) * 0.5;
    return (leftSide ? nc >= c[axis] : c[axis] >= nc) || nc == (k.lo[axis] + k.hi[axis]) * 0.5;
  };
  // Fallback: descends into every child whose exact subtree box holds the
  // given box.
  const auto byContainment = [this, lo, hi](const Node&, uint32_t child, bool, int) {
    const Bounds& b = BoundsOf(child);
    return lo[0] >= b.lo[0] && b.hi[0] >= hi[0] && lo[1] >= b.lo[1] && b.hi[1] >= hi[1] &&
           lo[2] >= b.lo[2] && b.hi[2] >= hi[2];
  };
  return DeactivateFirst(clientId, byCentre) || DeactivateFirst(clientId, byContainment);
}

// Depth-first search from the root (the node first, then its left side,
// then its right side) that enters a child only where
// enters(parent, child, leftSide, axis) holds; the first active node with
// the id is deactivated, and the subtree boxes on its path are brought up to
// date.
template <class Enters>
bool BoxTree::DeactivateFirst(int32_t clientId, Enters enters) {
  frames_.clear();
  frames_.push_back(Frame{root_, 0, 0});
  while (!frames_.empty()) {
    Frame& f = frames_.back();
    const uint32_t i = f.node;
    Node& node = At(i);
    const int axis = static_cast<int>(f.depth % 3);
    if (f.stage == 0) {
      if (node.active && node.clientId == clientId) {
        node.active = 0;
        // A box that could match nothing has no entry in the index.
        if (index_.Ready() && slotOf_[i] != kNoNode)
          index_.Deactivate(slotOf_[i] / QueryIndex::kSlots,
                            static_cast<int>(slotOf_[i] % QueryIndex::kSlots));
        RefreshBounds(i);
        frames_.pop_back();
        const bool changed = StoreActiveBox(i, frames_.empty() ? kNoNode : frames_.back().node);
        RefreshAndWidenStack(changed);
        return true;
      }
      f.stage = 1;
      if (node.link[0] != kNoNode && enters(node, node.link[0], true, axis)) {
        const Frame child{node.link[0], 0, f.depth + 1};
        frames_.push_back(child);
        continue;
      }
    }
    if (f.stage == 1) {
      f.stage = 2;
      if (node.link[1] != kNoNode && enters(node, node.link[1], false, axis)) {
        const Frame child{node.link[1], 0, f.depth + 1};
        frames_.push_back(child);
        continue;
      }
    }
    frames_.pop_back();
  }
  return false;
}
// ---- Inspection -----------------------------------------------------------

bool BoxTree::IndicesInPreOrder() const {
  if (root_ == kNoNode) return true;
  std::vector<uint32_t> stack{root_};
  uint32_t rank = 0;
  while (!stack.empty()) {
    const uint32_t i = stack.back();
    stack.pop_back();
    if (i != rank++) return false;
    const Node& n = At(i);
    if (n.link[1] != kNoNode) stack.push_back(n.link[1]);
    if (n.link[0] != kNoNode) stack.push_back(n.link[0]);
  }
  return true;
}

const BoxNode* BoxTree::ExportNodes(std::vector<BoxNode>& out) const {
  EnsureBounds();
  out.assign(static_cast<std::size_t>(nodeCount_), BoxNode{});
  for (uint32_t i = 0; i < static_cast<uint32_t>(nodeCount_); ++i) {
    const Node& n = At(i);
    const Bounds& b = BoundsOf(i);
    BoxNode& x = out[i];
    std::memcpy(x.lo, n.lo, sizeof x.lo);
    std::memcpy(x.hi, n.hi, sizeof x.hi);
    Centre(n.lo, n.hi, x.centre);
    std::memcpy(x.subtreeLo, b.lo, sizeof x.subtreeLo);
    std::memcpy(x.subtreeHi, b.hi, sizeof x.subtreeHi);
    x.left = n.link[0] == kNoNode ? nullptr : &out[n.link[0]];
    x.right = n.link[1] == kNoNode ? nullptr : &out[n.link[1]];
    x.clientId = n.clientId;
    x.active = static_cast<uint8_t>(n.active);
  }
  return root_ == kNoNode ? nullptr : &out[root_];
}

}  // namespace boxfinder
