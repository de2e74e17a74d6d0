#include "box_tree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace boxfinder {
namespace {

// The smaller and larger of two subtree-box coordinates, ignoring a NaN on
// either side (NaN only when both are NaN).
inline double LowerOf(double l, double r) { return (l < r || r != r) ? l : r; }
inline double UpperOf(double l, double r) { return (l > r || r != r) ? l : r; }

// Float bounds that enclose a double interval: the lower one rounded down,
// the upper one rounded up; NaN stays NaN.
inline float FloatBelow(double x) {
  if (x != x) return static_cast<float>(x);
  if (x > static_cast<double>(std::numeric_limits<float>::max())) return std::numeric_limits<float>::max();
  if (x < -static_cast<double>(std::numeric_limits<float>::max())) return -std::numeric_limits<float>::infinity();
  float f = static_cast<float>(x);
  if (static_cast<double>(f) > x) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}
inline float FloatAbove(double x) {
  if (x != x) return static_cast<float>(x);
  if (x > static_cast<double>(std::numeric_limits<float>::max())) return std::numeric_limits<float>::infinity();
  if (x < -static_cast<double>(std::numeric_limits<float>::max())) return -std::numeric_limits<float>::max();
  float f = static_cast<float>(x);
  if (static_cast<double>(f) < x) f = std::nextafter(f, std::numeric_limits<float>::infinity());
  return f;
}

// Closed-interval tests of a box (double corners, or the compact layout's
// float bounds) against a point or a query box; a NaN never matches.
template <class T>
inline bool BoxContainsPoint(const T lo[3], const T hi[3], const double p[3]) {
  return lo[0] <= p[0] && p[0] <= hi[0] && lo[1] <= p[1] && p[1] <= hi[1] && lo[2] <= p[2] &&
         p[2] <= hi[2];
}

template <class T>
inline bool BoxOverlaps(const T lo[3], const T hi[3], const double qlo[3], const double qhi[3]) {
  return qhi[0] >= lo[0] && hi[0] >= qlo[0] && qhi[1] >= lo[1] && hi[1] >= qlo[1] &&
         qhi[2] >= lo[2] && hi[2] >= qlo[2];
}

inline void Centre(const double lo[3], const double hi[3], double c[3]) {
  for (int a = 0; a < 3; ++a) c[a] = (lo[a] + hi[a]) * 0.5;
}

inline bool SubtreeHoldsBox(const BoxNode* n, const double lo[3], const double hi[3]) {
  return lo[0] >= n->subtreeLo[0] && n->subtreeHi[0] >= hi[0] && lo[1] >= n->subtreeLo[1] &&
         n->subtreeHi[1] >= hi[1] && lo[2] >= n->subtreeLo[2] && n->subtreeHi[2] >= hi[2];
}

// Content of a node: its box, centre, id and active flag (not its links or
// subtree box).
inline void CopyContent(BoxNode* to, const BoxNode* from) {
  std::memcpy(to->lo, from->lo, sizeof to->lo);
  std::memcpy(to->hi, from->hi, sizeof to->hi);
  std::memcpy(to->centre, from->centre, sizeof to->centre);
  to->clientId = from->clientId;
  to->active = from->active;
}

inline void SetContent(BoxNode* to, const double lo[3], const double hi[3], const double c[3],
                       int32_t clientId) {
  std::memcpy(to->lo, lo, sizeof to->lo);
  std::memcpy(to->hi, hi, sizeof to->hi);
  std::memcpy(to->centre, c, sizeof to->centre);
  to->clientId = clientId;
  to->active = 1;
}

// ---- Balanced build -------------------------------------------------------

// One box during the build: its centre, its index in the caller's arrays
// and its id.
// Partitioning these compact records moves a fraction of the data that
// moving the corners themselves would.
struct BuildRecord {
  double c[3];
  int32_t index;
  int32_t clientId;
};

struct Candidate {
  double v;
  int32_t pos;
};

// Index of an element whose centre coordinate on `axis` has rank n/2, by
// repeated three-way splits around the mean of three candidates. NaN
// coordinates fall in the upper group (they are neither below nor equal), so
// the candidate count always matches the candidates kept.
int SelectMedianIndex(int n, int axis, const BuildRecord* rec, Candidate* cand) {
  if (n == 1) return 0;
  const int k = n / 2;
  int b = 0;
  int c = n;
  if (c > 2) {
    // First round straight from the records: the candidates are all n
    // elements in their current order, and only the kept group is copied.
    const double d = ((rec[c / 2].c[axis] + rec[0].c[axis]) + rec[c - 1].c[axis]) / 3.0;
    int less = 0;
    int equal = 0;
    for (int i = 0; i < c; ++i) {
      const double v = rec[i].c[axis];
      less += d > v;
      equal += v == d;
    }
    if (less + equal == 0 || less == c || equal == c) return 0;
    int kept = 0;
    if (k < less) {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand[kept] = Candidate{v, i};
        kept += d > v;
      }
    } else if (k < less + equal) {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand[kept] = Candidate{v, i};
        kept += v == d;
      }
      b = less;
    } else {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand[kept] = Candidate{v, i};
        kept += !(d > v) & !(v == d);
      }
      b = less + equal;
    }
    c = kept;
  } else {
    for (int i = 0; i < c; ++i) cand[i] = Candidate{rec[i].c[axis], i};
  }
  while (c > 2) {
    const double d = ((cand[c / 2].v + cand[0].v) + cand[c - 1].v) / 3.0;
    int less = 0;
    int equal = 0;
    for (int i = 0; i < c; ++i) {
      const double v = cand[i].v;
      less += d > v;
      equal += v == d;
    }
    if (less + equal == 0 || less == c || equal == c) return cand[0].pos;
    int kept = 0;
    if (k < b + less) {
      for (int i = 0; i < c; ++i) {
        const Candidate x = cand[i];
        cand[kept] = x;
        kept += d > x.v;
      }
    } else if (k < b + less + equal) {
      for (int i = 0; i < c; ++i) {
        const Candidate x = cand[i];
        cand[kept] = x;
        kept += x.v == d;
      }
      b += less;
    } else {
      for (int i = 0; i < c; ++i) {
        const Candidate x = cand[i];
        cand[kept] = x;
        kept += !(d > x.v) & !(x.v == d);
      }
      b += less + equal;
    }
    c = kept;
  }
  if (c == 1) return cand[0].pos;
  if (cand[0].v > cand[1].v) std::swap(cand[0], cand[1]);
  return b + 2 > k + 1 ? cand[0].pos : cand[1].pos;
}

// Puts the median element at the returned index r, smaller centres before
// it and larger after it; elements sharing the pivot's coordinate are moved
// next to it to even out the two sides.
int PartitionAtMedian(int n, int axis, BuildRecord* rec, Candidate* cand) {
  if (n == 1) return 0;
  auto v = [rec, axis](int i) { return rec[i].c[axis]; };
  std::swap(rec[0], rec[SelectMedianIndex(n, axis, rec, cand)]);
  const double a = v(0);
  int i = 0;
  int j = n;
  for (;;) {
    ++i;
    --j;
    while (i < j && a > v(i)) ++i;
    while (i <= j && v(j) > a) --j;
    if (i >= j) break;
    std::swap(rec[i], rec[j]);
  }
  std::swap(rec[j], rec[0]);
  int r = j;
  int imbalance = n - 2 * j - 1;
  if (imbalance >= 2) {
    int k = j;
    int m = n;
    while (imbalance >= 2) {
      ++k;
      --m;
      while (k < m && a >= v(k)) {
        if (v(k) == a) {
          ++r;
          imbalance -= 2;
        }
        ++k;
      }
      while (k < m && v(m) != a) --m;
      if (k >= m || imbalance < 2) break;
      std::swap(rec[k], rec[m]);
      ++r;
      imbalance -= 2;
    }
  } else if (imbalance <= -2) {
    int m = -1;
    int k = j;
    while (imbalance <= -2) {
      ++m;
      --k;
      while (m < k && v(m) != a) ++m;
      while (m < k && v(k) >= a) {
        if (v(k) == a) {
          --r;
          imbalance += 2;
        }
        --k;
      }
      if (m >= k || imbalance > -2) break;
      std::swap(rec[m], rec[k]);
      --r;
      imbalance += 2;
    }
  }
  return r;
}

// One compact query entry from a node (see FlatEntry).
template <class Entry>
void FillEntry(Entry& e, const BoxNode* node) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(e.lo, node->lo, sizeof e.lo);
  std::memcpy(e.hi, node->hi, sizeof e.hi);
  if (!node->active) e.lo[0] = e.lo[1] = e.lo[2] = nan;
  const BoxNode* children[2] = {node->left, node->right};
  for (int side = 0; side < 2; ++side) {
    const BoxNode* child = children[side];
    for (int a = 0; a < 3; ++a) {
      e.childLo[side][a] = child != nullptr ? FloatBelow(child->subtreeLo[a]) : fnan;
      e.childHi[side][a] = child != nullptr ? FloatAbove(child->subtreeHi[a]) : fnan;
    }
  }
  e.clientId = node->clientId;
}

}  // namespace

void RefreshSubtreeBox(BoxNode* node) {
  const BoxNode* l = node->left;
  const BoxNode* r = node->right;
  if (l != nullptr && r != nullptr) {
    for (int a = 0; a < 3; ++a) {
      node->subtreeLo[a] = LowerOf(l->subtreeLo[a], r->subtreeLo[a]);
      node->subtreeHi[a] = UpperOf(l->subtreeHi[a], r->subtreeHi[a]);
    }
  } else if (l != nullptr || r != nullptr) {
    const BoxNode* only = l != nullptr ? l : r;
    std::memcpy(node->subtreeLo, only->subtreeLo, sizeof node->subtreeLo);
    std::memcpy(node->subtreeHi, only->subtreeHi, sizeof node->subtreeHi);
  }
}

void WidenByOwnBox(BoxNode* node) {
  for (int a = 0; a < 3; ++a) {
    const double slo = node->subtreeLo[a];
    if (slo > node->lo[a] || slo != slo) node->subtreeLo[a] = node->lo[a];
    const double shi = node->subtreeHi[a];
    if (node->hi[a] > shi || shi != shi) node->subtreeHi[a] = node->hi[a];
  }
}

BoxNode* BoxTree::NewNode(const double lo[3], const double hi[3], const double centre[3],
                          int32_t clientId) {
  if (nextFree_ < 0) {
    NodeBlock* block = new NodeBlock;
    block->previous = blocks_;
    blocks_ = block;
    nextFree_ = kNodesPerBlock - 1;
  }
  BoxNode* node = &blocks_->nodes[nextFree_--];
  SetContent(node, lo, hi, centre, clientId);
  std::memcpy(node->subtreeLo, lo, sizeof node->subtreeLo);
  std::memcpy(node->subtreeHi, hi, sizeof node->subtreeHi);
  node->left = nullptr;
  node->right = nullptr;
  ++nodeCount_;
  return node;
}

void BoxTree::DestroyTree() {
  while (blocks_ != nullptr) {
    NodeBlock* previous = blocks_->previous;
    delete blocks_;
    blocks_ = previous;
  }
  root_ = nullptr;
  nextFree_ = -1;
  nodeCount_ = 0;
  height_ = 0;
  flat_.clear();
  flatCurrent_ = false;
  staleWork_ = 0;
}

std::size_t BoxTree::MemoryBytes() const {
  std::size_t bytes = sizeof *this;
  for (const NodeBlock* b = blocks_; b != nullptr; b = b->previous) bytes += sizeof(NodeBlock);
  bytes += flat_.capacity() * sizeof(FlatEntry) + pendingEntries_.capacity() * sizeof(int32_t);
  bytes += frames_.capacity() * sizeof(Frame) + pending_.capacity() * sizeof(const BoxNode*);
  return bytes;
}

void BoxTree::ReserveScratch(int64_t height, int64_t nodes) {
  const auto grow = [](auto& v, int64_t want) {
    if (static_cast<int64_t>(v.capacity()) < want)
      v.reserve(static_cast<std::size_t>(std::max<int64_t>(want, 2 * static_cast<int64_t>(v.capacity()))));
  };
  grow(frames_, height + 1);
  grow(pending_, height + 1);
  grow(flat_, nodes);
  grow(pendingEntries_, height + 1);
}

void BoxTree::MarkChanged() {
  flatCurrent_ = false;
  staleWork_ = 0;
}

void BoxTree::BuildFromArrays(int n, const double* lowerCorners, const double* upperCorners,
                              const int32_t* clientIds) {
  DestroyTree();
  if (n <= 0) return;
  try {
    std::unique_ptr<BuildRecord[]> rec(new BuildRecord[n]);
    std::unique_ptr<Candidate[]> cand(new Candidate[n]);
    // The nodes in pre-order, and the node made from each input box.
    std::unique_ptr<BoxNode*[]> order(new BoxNode*[n]);
    std::unique_ptr<BoxNode*[]> nodeOf(new BoxNode*[n]);
    for (int i = 0; i < n; ++i) {
      Centre(lowerCorners + 3 * i, upperCorners + 3 * i, rec[i].c);
      rec[i].index = i;
      rec[i].clientId = clientIds[i];
    }
    // The compact query layout has the same pre-order as the node slots.
    flat_.reserve(static_cast<std::size_t>(n));
    flat_.resize(static_cast<std::size_t>(n));

    // 1. Shape: an explicit stack with a frame per level on the path being
    // built. Nodes are made parent first, then the left subtree, then the
    // right one; corners come later, in input order, instead of one random
    // read per node here.
    struct BuildFrame {
      int begin, count, depth;
      BoxNode** slot;
    };
    std::vector<BuildFrame> stack;
    stack.reserve(64);
    stack.push_back(BuildFrame{0, n, 0, &root_});
    const double none[3] = {0, 0, 0};
    int64_t height = 0;
    while (!stack.empty()) {
      const BuildFrame f = stack.back();
      stack.pop_back();
      BuildRecord* part = rec.get() + f.begin;
      const int r = PartitionAtMedian(f.count, f.depth % 3, part, cand.get());
      const int entry = static_cast<int>(nodeCount_);
      BoxNode* node = NewNode(none, none, part[r].c, part[r].clientId);
      *f.slot = node;
      order[entry] = node;
      nodeOf[part[r].index] = node;
      flat_[static_cast<std::size_t>(entry)].right = r < f.count - 1 ? entry + r + 1 : -1;
      height = std::max<int64_t>(height, f.depth + 1);
      // Right pushed first so that the left subtree is made first.
      if (r < f.count - 1)
        stack.push_back(BuildFrame{f.begin + r + 1, f.count - r - 1, f.depth + 1, &node->right});
      if (r > 0) stack.push_back(BuildFrame{f.begin, r, f.depth + 1, &node->left});
    }
    // 2. Corners, in input order.
    for (int i = 0; i < n; ++i) {
      BoxNode* node = nodeOf[i];
      std::memcpy(node->lo, lowerCorners + 3 * i, sizeof node->lo);
      std::memcpy(node->hi, upperCorners + 3 * i, sizeof node->hi);
      std::memcpy(node->subtreeLo, node->lo, sizeof node->subtreeLo);
      std::memcpy(node->subtreeHi, node->hi, sizeof node->subtreeHi);
    }
    // 3. Subtree boxes, children before parents (reverse pre-order), and the
    // compact entries.
    for (int i = n - 1; i >= 0; --i) {
      BoxNode* node = order[i];
      RefreshSubtreeBox(node);
      WidenByOwnBox(node);
      FillEntry(flat_[static_cast<std::size_t>(i)], node);
    }
    height_ = height;
    ReserveScratch(height_, nodeCount_);
    SetRootBox();
    flatCurrent_ = true;
    staleWork_ = 0;
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
  ReserveScratch(height_ + 1, nodeCount_ + 1);
  if (root_ == nullptr) {
    root_ = NewNode(lo, hi, c, clientId);
    height_ = 1;
    MarkChanged();
    return;
  }
  frames_.clear();
  BoxNode* node = root_;
  int64_t depth = 0;
  while (node->left != nullptr && node->right != nullptr) {
    frames_.push_back(Frame{node, depth, 0});
    node = node->centre[depth % 3] > c[depth % 3] ? node->left : node->right;
    ++depth;
  }
  frames_.push_back(Frame{node, depth, 0});
  const int axis = static_cast<int>(depth % 3);
  if (node->left == nullptr) {
    if (node->centre[axis] > c[axis]) {
      node->left = NewNode(lo, hi, c, clientId);
    } else {
      BoxNode* copy = NewNode(node->lo, node->hi, node->centre, node->clientId);
      copy->active = node->active;
      node->left = copy;
      SetContent(node, lo, hi, c, clientId);
    }
  } else if (c[axis] >= node->centre[axis]) {
    node->right = NewNode(lo, hi, c, clientId);
  } else {
    BoxNode* copy = NewNode(node->lo, node->hi, node->centre, node->clientId);
    copy->active = node->active;
    node->right = copy;
    BoxNode* left = node->left;
    if (c[axis] > left->centre[axis]) {
      SetContent(node, lo, hi, c, clientId);
    } else {
      double oldLo[3], oldHi[3];
      std::memcpy(oldLo, node->subtreeLo, sizeof oldLo);
      std::memcpy(oldHi, node->subtreeHi, sizeof oldHi);
      CopyContent(node, left);
      SetContent(left, lo, hi, c, clientId);
      for (int a = 0; a < 3; ++a) {
        left->subtreeLo[a] = LowerOf(oldLo[a], lo[a]);
        left->subtreeHi[a] = UpperOf(oldHi[a], hi[a]);
      }
    }
  }
  height_ = std::max(height_, depth + 2);
  RefreshAndWidenStack();
  MarkChanged();
}

// Refreshes and widens every node on the frame stack, innermost first.
void BoxTree::RefreshAndWidenStack() {
  for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
    RefreshSubtreeBox(it->node);
    WidenByOwnBox(it->node);
  }
  frames_.clear();
}

// ---- Removal --------------------------------------------------------------

bool BoxTree::RemoveBox(const double lo[3], const double hi[3], int32_t clientId) {
  if (root_ == nullptr) return false;
  double c[3];
  Centre(lo, hi, c);
  const bool found = RemoveByCentre(c, clientId) || RemoveByContainment(lo, hi, clientId);
  if (found) MarkChanged();
  return found;
}

// Depth-first search from the root (the node first, then its left side,
// then its right side) that enters a child only where
// enters(parent, child, axis) holds; the first active node with the id is
// deactivated, and the subtree boxes on its path are brought up to date.
template <class Enters>
bool BoxTree::DeactivateFirst(int32_t clientId, Enters enters) {
  frames_.clear();
  frames_.push_back(Frame{root_, 0, 0});
  while (!frames_.empty()) {
    Frame& f = frames_.back();
    BoxNode* node = f.node;
    const int axis = static_cast<int>(f.depth % 3);
    if (f.stage == 0) {
      if (node->active && node->clientId == clientId) {
        node->active = 0;
        RefreshSubtreeBox(node);
        frames_.pop_back();
        RefreshAndWidenStack();
        return true;
      }
      f.stage = 1;
      if (node->left != nullptr && enters(node, node->left, axis)) {
        const Frame child{node->left, f.depth + 1, 0};
        frames_.push_back(child);
        continue;
      }
    }
    if (f.stage == 1) {
      f.stage = 2;
      if (node->right != nullptr && enters(node, node->right, axis)) {
        const Frame child{node->right, f.depth + 1, 0};
        frames_.push_back(child);
        continue;
      }
    }
    frames_.pop_back();
  }
  return false;
}

// The search guided by the centres: left where the node's centre is not
// below the box's centre on the level's axis, right where it is not above
// (and into a child sharing the node's centre coordinate either way).
bool BoxTree::RemoveByCentre(const double c[3], int32_t clientId) {
  return DeactivateFirst(clientId, [c](const BoxNode* node, const BoxNode* child, int axis) {
    const bool leftSide = child == node->left;
    return (leftSide ? node->centre[axis] >= c[axis] : c[axis] >= node->centre[axis]) ||
           node->centre[axis] == child->centre[axis];
  });
}

// Fallback search: descends into every child whose subtree box holds the
// given box.
bool BoxTree::RemoveByContainment(const double lo[3], const double hi[3], int32_t clientId) {
  return DeactivateFirst(clientId, [lo, hi](const BoxNode*, const BoxNode* child, int) {
    return SubtreeHoldsBox(child, lo, hi);
  });
}

// ---- Queries --------------------------------------------------------------

// Copies the tree in pre-order into the compact array (whose capacity the
// changes have already reserved, so this does not allocate).
void BoxTree::SetRootBox() {
  if (root_ == nullptr) return;
  for (int a = 0; a < 3; ++a) {
    rootLo_[a] = FloatBelow(root_->subtreeLo[a]);
    rootHi_[a] = FloatAbove(root_->subtreeHi[a]);
  }
}

void BoxTree::RebuildQueryLayout() {
  flat_.clear();
  frames_.clear();
  if (root_ != nullptr) frames_.push_back(Frame{root_, 0, 0});
  SetRootBox();
  while (!frames_.empty()) {
    Frame& f = frames_.back();
    const BoxNode* node = f.node;
    if (f.stage == 0) {
      f.depth = static_cast<int64_t>(flat_.size());
      FlatEntry e;
      FillEntry(e, node);
      e.right = -1;
      flat_.push_back(e);
      f.stage = 1;
      if (node->left != nullptr) {
        const Frame child{node->left, 0, 0};
        frames_.push_back(child);
      }
    } else if (f.stage == 1) {
      f.stage = 2;
      if (node->right != nullptr) {
        flat_[static_cast<std::size_t>(f.depth)].right = static_cast<int32_t>(flat_.size());
        const Frame child{node->right, 0, 0};
        frames_.push_back(child);
      }
    } else {
      frames_.pop_back();
    }
  }
  flatCurrent_ = true;
  staleWork_ = 0;
}

// After changes, queries walk the linked nodes until their work adds up to
// one copy of the tree; the compact copy is then made again.
void BoxTree::RefreshQueryLayoutIfDue() {
  if (!flatCurrent_ && staleWork_ >= nodeCount_ &&
      static_cast<int64_t>(flat_.capacity()) >= nodeCount_ &&
      static_cast<int64_t>(pendingEntries_.capacity()) > height_ &&
      static_cast<int64_t>(frames_.capacity()) > height_) {
    RebuildQueryLayout();
  }
}

// Pre-order walk over the compact layout; right children wait on the
// pending stack (at most one per level, within the reserved capacity).
template <class Entry, class Admits, class Matches>
static void FlatWalk(const Entry* e, bool rootAdmitted, std::vector<int32_t>& pending,
                     Admits admits, Matches matches, Meshkit::List<int>& out) {
  out.Clear();
  pending.clear();
  if (!rootAdmitted) return;
  int32_t i = 0;
  for (;;) {
    const Entry& f = e[i];
    if (matches(f.lo, f.hi)) out.Append(f.clientId);
    if (admits(f.childLo[1], f.childHi[1])) {
      // Fetched early: it is entered after the left subtree.
      __builtin_prefetch(e + f.right);
      pending.push_back(f.right);
    }
    if (admits(f.childLo[0], f.childHi[0])) {
      ++i;
    } else if (!pending.empty()) {
      i = pending.back();
      pending.pop_back();
    } else {
      return;
    }
  }
}

void BoxTree::QueryPoint(const double p[3], Meshkit::List<int>& out) {
  RefreshQueryLayoutIfDue();
  if (!flatCurrent_) {
    QueryPointWalk(p, out);
    staleWork_ += height_ + 16;
    return;
  }
  FlatWalk(
      flat_.data(), !flat_.empty() && BoxContainsPoint(rootLo_, rootHi_, p), pendingEntries_,
      [p](const float* lo, const float* hi) { return BoxContainsPoint(lo, hi, p); },
      [p](const double* lo, const double* hi) { return BoxContainsPoint(lo, hi, p); }, out);
}

void BoxTree::QueryRange(const double qlo[3], const double qhi[3], Meshkit::List<int>& out) {
  RefreshQueryLayoutIfDue();
  if (!flatCurrent_) {
    QueryRangeWalk(qlo, qhi, out);
    staleWork_ += height_ + 16 + out.Count();
    return;
  }
  FlatWalk(
      flat_.data(), !flat_.empty() && BoxOverlaps(rootLo_, rootHi_, qlo, qhi), pendingEntries_,
      [qlo, qhi](const float* lo, const float* hi) { return BoxOverlaps(lo, hi, qlo, qhi); },
      [qlo, qhi](const double* lo, const double* hi) { return BoxOverlaps(lo, hi, qlo, qhi); },
      out);
}

// Pre-order walk over the linked nodes, entering a child only when its own
// subtree box can hold a result. Right children wait on the pending stack,
// at most one per level, within the capacity reserved for the height.
template <class Admits, class Matches>
static void Walk(const BoxNode* root, std::vector<const BoxNode*>& pending, Admits admits,
                 Matches matches, Meshkit::List<int>& out) {
  out.Clear();
  pending.clear();
  const BoxNode* node = root != nullptr && admits(root) ? root : nullptr;
  while (node != nullptr) {
    if (node->active && matches(node)) out.Append(node->clientId);
    const BoxNode* l = node->left;
    const BoxNode* r = node->right;
    if (r != nullptr && admits(r)) pending.push_back(r);
    if (l != nullptr && admits(l)) {
      node = l;
    } else if (!pending.empty()) {
      node = pending.back();
      pending.pop_back();
    } else {
      node = nullptr;
    }
  }
}

void BoxTree::QueryPointWalk(const double p[3], Meshkit::List<int>& out) const {
  Walk(
      root_, pending_,
      [p](const BoxNode* n) { return BoxContainsPoint(n->subtreeLo, n->subtreeHi, p); },
      [p](const BoxNode* n) { return BoxContainsPoint(n->lo, n->hi, p); }, out);
}

void BoxTree::QueryRangeWalk(const double qlo[3], const double qhi[3],
                             Meshkit::List<int>& out) const {
  Walk(
      root_, pending_,
      [qlo, qhi](const BoxNode* n) { return BoxOverlaps(n->subtreeLo, n->subtreeHi, qlo, qhi); },
      [qlo, qhi](const BoxNode* n) { return BoxOverlaps(n->lo, n->hi, qlo, qhi); }, out);
}

}  // namespace boxfinder
