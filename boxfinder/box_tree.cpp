#include "box_tree.h"

#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace boxfinder {
namespace {

// The smaller and larger of two subtree-box coordinates, ignoring a NaN on
// either side (NaN only when both are NaN).
inline double LowerOf(double l, double r) { return (l < r || r != r) ? l : r; }
inline double UpperOf(double l, double r) { return (l > r || r != r) ? l : r; }

// Float bounds that enclose a double interval: the lower one rounded down,
// the upper one rounded up; NaN stays NaN. The conversion rounds to nearest;
// where that lands on the wrong side, the bit pattern steps one float
// outwards (towards -infinity for a lower bound, +infinity for an upper one),
// without a branch: for random coordinates that side is a coin toss, and a
// mispredicted branch per coordinate cost more than the rest of the refresh.
// The results are the largest float not above x and the smallest float not
// below it, infinities included, so that a float f is at most x exactly when
// f <= FloatBelow(x), and at least x exactly when f >= FloatAbove(x).
inline float FloatBelow(double x) {
  if (x > static_cast<double>(std::numeric_limits<float>::max()))
    return x == std::numeric_limits<double>::infinity() ? std::numeric_limits<float>::infinity()
                                                        : std::numeric_limits<float>::max();
  if (x < -static_cast<double>(std::numeric_limits<float>::max()))
    return -std::numeric_limits<float>::infinity();
  const float f = static_cast<float>(x);
  int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  // One step down is -1 on the pattern of a positive float and +1 on that of
  // a negative one (-0 included: x below -0 rounds to -0, never to +0).
  const int32_t outwards = -((bits >> 31) | 1);
  bits += outwards & -static_cast<int32_t>(static_cast<double>(f) > x);
  float r;
  std::memcpy(&r, &bits, sizeof r);
  return r;
}
inline float FloatAbove(double x) {
  if (x > static_cast<double>(std::numeric_limits<float>::max()))
    return std::numeric_limits<float>::infinity();
  if (x < -static_cast<double>(std::numeric_limits<float>::max()))
    return x == -std::numeric_limits<double>::infinity() ? -std::numeric_limits<float>::infinity()
                                                         : -std::numeric_limits<float>::max();
  const float f = static_cast<float>(x);
  int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  // One step up: +1 on a positive (or +0: x above +0 rounds to +0, never to
  // -0) pattern, -1 on a negative one.
  const int32_t outwards = (bits >> 31) | 1;
  bits += outwards & -static_cast<int32_t>(static_cast<double>(f) < x);
  float r;
  std::memcpy(&r, &bits, sizeof r);
  return r;
}

// Closed-interval tests of a box against a point or a query box; a NaN
// never matches. Every comparison is evaluated (no early exit), leaving one
// branch on the outcome instead of one per comparison.
inline bool BoxContainsPoint(const double lo[3], const double hi[3], const double p[3]) {
  return (lo[0] <= p[0]) & (p[0] <= hi[0]) & (lo[1] <= p[1]) & (p[1] <= hi[1]) & (lo[2] <= p[2]) &
         (p[2] <= hi[2]);
}

inline bool BoxOverlaps(const double lo[3], const double hi[3], const double qlo[3],
                        const double qhi[3]) {
  return (qhi[0] >= lo[0]) & (hi[0] >= qlo[0]) & (qhi[1] >= lo[1]) & (hi[1] >= qlo[1]) &
         (qhi[2] >= lo[2]) & (hi[2] >= qlo[2]);
}

// The overlap test on the float boxes that the walk prunes with, against
// float corners qlo, qhi standing for the query (see QueryPoint).
inline bool FloatBoxesOverlap(const float lo[3], const float hi[3], const float qlo[3],
                              const float qhi[3]) {
  return (qhi[0] >= lo[0]) & (hi[0] >= qlo[0]) & (qhi[1] >= lo[1]) & (hi[1] >= qlo[1]) &
         (qhi[2] >= lo[2]) & (hi[2] >= qlo[2]);
}

inline void Centre(const double lo[3], const double hi[3], double c[3]) {
  for (int a = 0; a < 3; ++a) c[a] = (lo[a] + hi[a]) * 0.5;
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

// The selection's candidates: centre coordinates and positions in two
// arrays, so that the counting passes read consecutive doubles.
struct Candidates {
  double* v;
  int32_t* pos;
};

// Where the selection ends once the group equal to the mean is the one to go
// on with (c of them, b elements below): the group's own mean rounds to its
// common value or just beside it, so the next round returns its first
// element, unless two are left, when the two-element step picks one of them
// by rank (equal values are not swapped). `at` gives the group's members in
// order of position.
template <class At>
int EndInEqualGroup(int c, int b, int k, At at) {
  return c == 2 && !(b + 2 > k + 1) ? at(1) : at(0);
}

// Index of an element whose centre coordinate on `axis` has rank n/2, by
// repeated three-way splits around the mean of three candidates. NaN
// coordinates fall in the upper group (they are neither below nor equal), so
// the candidate count always matches the candidates kept.
int SelectMedianIndex(int n, int axis, const BuildRecord* rec, Candidates cand) {
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
    if (k >= less && k < less + equal) {
      return EndInEqualGroup(equal, less, k, [rec, axis, d](int which) {
        for (int i = 0;; ++i)
          if (rec[i].c[axis] == d && which-- == 0) return i;
      });
    }
    int kept = 0;
    if (k < less) {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand.v[kept] = v;
        cand.pos[kept] = i;
        kept += d > v;
      }
    } else {
      for (int i = 0; i < c; ++i) {
        const double v = rec[i].c[axis];
        cand.v[kept] = v;
        cand.pos[kept] = i;
        kept += !(d > v) & !(v == d);
      }
      b = less + equal;
    }
    c = kept;
  } else {
    for (int i = 0; i < c; ++i) {
      cand.v[i] = rec[i].c[axis];
      cand.pos[i] = i;
    }
  }
  while (c > 2) {
    const double d = ((cand.v[c / 2] + cand.v[0]) + cand.v[c - 1]) / 3.0;
    int less = 0;
    int equal = 0;
    for (int i = 0; i < c; ++i) {
      const double v = cand.v[i];
      less += d > v;
      equal += v == d;
    }
    if (less + equal == 0 || less == c || equal == c) return cand.pos[0];
    if (k >= b + less && k < b + less + equal) {
      return EndInEqualGroup(equal, b + less, k, [cand, d](int which) {
        for (int i = 0;; ++i)
          if (cand.v[i] == d && which-- == 0) return cand.pos[i];
      });
    }
    int kept = 0;
    if (k < b + less) {
      for (int i = 0; i < c; ++i) {
        const double v = cand.v[i];
        cand.v[kept] = v;
        cand.pos[kept] = cand.pos[i];
        kept += d > v;
      }
    } else {
      for (int i = 0; i < c; ++i) {
        const double v = cand.v[i];
        cand.v[kept] = v;
        cand.pos[kept] = cand.pos[i];
        kept += !(d > v) & !(v == d);
      }
      b += less + equal;
    }
    c = kept;
  }
  if (c == 1) return cand.pos[0];
  if (cand.v[0] > cand.v[1]) {
    std::swap(cand.v[0], cand.v[1]);
    std::swap(cand.pos[0], cand.pos[1]);
  }
  return b + 2 > k + 1 ? cand.pos[0] : cand.pos[1];
}

// Puts the median element at the returned index r, smaller centres before
// it and larger after it; elements sharing the pivot's coordinate are moved
// next to it to even out the two sides.
int PartitionAtMedian(int n, int axis, BuildRecord* rec, Candidates cand) {
  if (n == 1) return 0;
  auto v = [rec, axis](int i) { return rec[i].c[axis]; };
  std::swap(rec[0], rec[SelectMedianIndex(n, axis, rec, cand)]);
  const double a = v(0);
  int i = 0;
  int j = n;
  // The two-sided partition swaps the k-th element from the left that is
  // not below the pivot with the k-th from the right that is not above it,
  // for as long as the first lies left of the second. While the unscanned
  // middle is wide, those elements are found a block at a time without a
  // branch on the data (a branch per element is mispredicted about every
  // other element on unordered data), keeping the ones not yet paired for
  // the next block; the same pairs are swapped in the same order. Then the
  // scan goes on element by element from the last swapped pair.
  constexpr int kBlock = 64;
  int left[kBlock], right[kBlock];
  int nLeft = 0, nRight = 0, firstLeft = 0, firstRight = 0;
  int nextLeft = 1, nextRight = n - 1;
  while (nextRight - nextLeft + 1 >= 2 * kBlock) {
    if (nLeft == 0) {
      firstLeft = 0;
      for (int t = 0; t < kBlock; ++t) {
        left[nLeft] = nextLeft + t;
        nLeft += !(a > v(nextLeft + t));
      }
      nextLeft += kBlock;
    }
    if (nRight == 0) {
      firstRight = 0;
      for (int t = 0; t < kBlock; ++t) {
        right[nRight] = nextRight - t;
        nRight += !(v(nextRight - t) > a);
      }
      nextRight -= kBlock;
    }
    const int pairs = std::min(nLeft, nRight);
    for (int t = 0; t < pairs; ++t) std::swap(rec[left[firstLeft + t]], rec[right[firstRight + t]]);
    if (pairs > 0) {
      i = left[firstLeft + pairs - 1];
      j = right[firstRight + pairs - 1];
    }
    firstLeft += pairs;
    nLeft -= pairs;
    firstRight += pairs;
    nRight -= pairs;
  }
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

// Float bounds of a box for the queries' active boxes: NaN (admits nothing)
// when a coordinate is NaN, since such a box matches no point and no range.
inline bool CanMatch(const double lo[3], const double hi[3]) {
  return lo[0] == lo[0] && lo[1] == lo[1] && lo[2] == lo[2] && hi[0] == hi[0] && hi[1] == hi[1] &&
         hi[2] == hi[2];
}

// The smaller and larger of two float bounds, ignoring a NaN on either side
// (NaN only when both are NaN). The comparison of two numbers is a select,
// not a branch (it goes either way on unordered data); only the NaN test,
// which goes the same way for nearly every node, remains a branch.
inline float LowerOfF(float l, float r) {
  const float m = r < l ? r : l;
  return l != l ? r : m;
}
inline float UpperOfF(float l, float r) {
  const float m = r > l ? r : l;
  return l != l ? r : m;
}

// A zero-filled mapping of at least `bytes` (rounded up to whole small pages
// and returned in `bytes`), aligned to a 2 MiB page and advised for such
// pages when it is that large. Throws std::bad_alloc.
void* MapLargePages(std::size_t& bytes) {
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  const std::size_t smallPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  bytes = (bytes + smallPage - 1) / smallPage * smallPage;
  const std::size_t extra = bytes >= kLargePage ? kLargePage : 0;
  void* map =
      mmap(nullptr, bytes + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) throw std::bad_alloc();
  char* start = static_cast<char*>(map);
  if (extra > 0) {
    const std::size_t address = reinterpret_cast<std::uintptr_t>(map);
    const std::size_t head = (kLargePage - address % kLargePage) % kLargePage;
    if (head > 0) munmap(start, head);
    if (extra > head) munmap(start + head + bytes, extra - head);
    start += head;
    madvise(start, bytes, MADV_HUGEPAGE);
  }
  return start;
}

}  // namespace

// ---- Storage --------------------------------------------------------------

namespace {
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
}  // namespace

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
  if (builtNodes_ != nullptr) munmap(builtNodes_, builtNodeBytes_);
  if (builtBounds_ != nullptr) munmap(builtBounds_, builtBoundsBytes_);
  builtNodes_ = builtBounds_ = nullptr;
  builtNodeBytes_ = builtBoundsBytes_ = 0;
  boundsReady_ = true;
  added_.clear();
  nodes_.clear();
  bounds_.clear();
  root_ = kNoNode;
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
         frames_.capacity() * sizeof(Frame) + pending_.capacity() * sizeof(const Node*);
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
  grow(pending_, levels);
  if (nextFree_ < 0) {
    grow(added_, added_.size() + 1);
    grow(nodes_, nodes_.size() + 1);
    grow(bounds_, bounds_.size() + 1);
    AddBlock();
  }
}

// The blocks of a build, made in two mappings (nodes and subtree boxes)
// aligned to the 2 MiB pages of the processor and advised for them: a large
// tree then takes a five hundredth of the page faults while it is filled,
// and its queries a small fraction of the address translation misses (a few
// hundred large pages cover what tens of thousands of small ones would). The
// mappings are trimmed to the blocks' size, so that the tree holds exactly as
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

inline bool IsEmpty(const float lo[3]) { return lo[0] != lo[0]; }

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
    std::unique_ptr<BuildRecord[]> rec(new BuildRecord[n]);
    std::unique_ptr<double[]> candV(new double[n]);
    std::unique_ptr<int32_t[]> candPos(new int32_t[n]);
    const Candidates cand{candV.get(), candPos.get()};
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
    // e+r), then its right one (from e+r+1): pre-order. Only the links, the
    // id and the box's place in the caller's arrays are written here.
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
      node.active = static_cast<uint32_t>(part[r].index);  // until step 2
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
        const uint32_t ahead = At(i - kAhead).active;
        __builtin_prefetch(lowerCorners + 3 * ahead);
        __builtin_prefetch(upperCorners + 3 * ahead);
      }
      Node& node = At(i);
      const uint32_t src = node.active;
      std::memcpy(node.lo, lowerCorners + 3 * src, sizeof node.lo);
      std::memcpy(node.hi, upperCorners + 3 * src, sizeof node.hi);
      node.active = 1;
      RefreshChildBoxes(i);
    }
    rootBox_ = ActiveBoxOf(root_);
    rootEnter_ = EnterOf(root_);
    boundsReady_ = false;
    height_ = height;
    frames_.reserve(static_cast<std::size_t>(height_ + 1));
    pending_.reserve(static_cast<std::size_t>(height_ + 1));
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

// ---- Queries --------------------------------------------------------------

// Pre-order walk entering a node only when its active box, kept by its
// parent, admits the query; an absent child's box is NaN and admits nothing.
// A child is entered where its parent's entry says, past removed boxes that
// give nothing. Right children wait on the pending stack (at most one per
// level, within the capacity reserved for the height).
template <class Node, class FloatBox, class At, class Admits, class Matches>
static void Walk(const Node* root, const FloatBox& rootBox, std::vector<const Node*>& pending,
                 At at, Admits admits, Matches matches, Meshkit::List<int>& out) {
  out.Clear();
  pending.clear();
  if (root == nullptr || !admits(rootBox)) return;
  const Node* node = root;
  for (;;) {
    if (node->active && matches(node->lo, node->hi)) out.Append(node->clientId);
    if (admits(node->child[1])) {
      // Entered after the left subtree, by which time it can be in cache.
      const Node* right = at(node->enter[1]);
      __builtin_prefetch(right);
      pending.push_back(right);
    }
    if (admits(node->child[0])) {
      node = at(node->enter[0]);
    } else if (!pending.empty()) {
      node = pending.back();
      pending.pop_back();
    } else {
      return;
    }
  }
}

// A float box [lo, hi] holds the point p exactly when lo <= FloatBelow(p)
// and FloatAbove(p) <= hi on every axis; it overlaps [qlo, qhi] exactly when
// lo <= FloatBelow(qhi) and FloatAbove(qlo) <= hi. The query's corners are
// rounded once, and the walk compares floats with floats.
void BoxTree::QueryPoint(const double p[3], Meshkit::List<int>& out) const {
  float below[3], above[3];
  for (int a = 0; a < 3; ++a) {
    below[a] = FloatBelow(p[a]);
    above[a] = FloatAbove(p[a]);
  }
  Walk(
      root_ == kNoNode ? nullptr : &At(rootEnter_), rootBox_, pending_,
      [this](uint32_t i) -> const Node* { return &At(i); },
      [&below, &above](const FloatBox& b) { return FloatBoxesOverlap(b.lo, b.hi, above, below); },
      [p](const double* lo, const double* hi) { return BoxContainsPoint(lo, hi, p); }, out);
}

void BoxTree::QueryRange(const double qlo[3], const double qhi[3], Meshkit::List<int>& out) const {
  float below[3], above[3];
  for (int a = 0; a < 3; ++a) {
    below[a] = FloatBelow(qhi[a]);
    above[a] = FloatAbove(qlo[a]);
  }
  Walk(
      root_ == kNoNode ? nullptr : &At(rootEnter_), rootBox_, pending_,
      [this](uint32_t i) -> const Node* { return &At(i); },
      [&below, &above](const FloatBox& b) { return FloatBoxesOverlap(b.lo, b.hi, above, below); },
      [qlo, qhi](const double* lo, const double* hi) { return BoxOverlaps(lo, hi, qlo, qhi); },
      out);
}

// ---- Inspection -----------------------------------------------------------

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
