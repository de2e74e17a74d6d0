// The wide index's walks: a visit tests a triangle's exact boxes and its
// children's float boxes side by side, then takes the hits in the
// triangle's pre-order (see query_index.h).
#include "query_index.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "float_bounds.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace boxfinder {

namespace {

constexpr int kItems = QueryIndex::kTriangleSlots + QueryIndex::kSlots;  // 31
constexpr uint32_t kTriangleMask = (uint32_t{1} << QueryIndex::kTriangleSlots) - 1;

// The pre-order of a triangle's items: entry s, then the items below its
// left child, then those below its right one; below a bottom slot s hang the
// children 2(s-7) and 2(s-7)+1. Item codes: an entry is its slot, a child
// c is kSlots + c.
struct Order {
  std::array<int, kItems> item{};
  std::array<int, QueryIndex::kSlots> entryPos{};
  std::array<int, QueryIndex::kSlots> childPos{};
};

constexpr void Visit(Order& o, int& pos, int s) {
  o.entryPos[s] = pos;
  o.item[pos++] = s;
  if (s < QueryIndex::kBottomSlot) {
    Visit(o, pos, 2 * s + 1);
    Visit(o, pos, 2 * s + 2);
  } else {
    for (int side = 0; side < 2; ++side) {
      const int c = 2 * (s - QueryIndex::kBottomSlot) + side;
      o.childPos[c] = pos;
      o.item[pos++] = QueryIndex::kSlots + c;
    }
  }
}

constexpr Order MakeOrder() {
  Order o{};
  int pos = 0;
  Visit(o, pos, 0);
  // The padding slot takes no place: it never holds an entry.
  o.entryPos[QueryIndex::kTriangleSlots] = kItems;
  return o;
}

constexpr Order kOrder = MakeOrder();

// Where the hits of eight slots (or children) lie in the pre-order: for
// each byte of a 16-bit hit mask, the positions' bits.
struct Scatter {
  std::array<uint32_t, 256> entries[2]{};
  std::array<uint32_t, 256> children[2]{};
};

// A position past the last item (the padding slot's) takes no bit, so a
// hit there could never send the walk past the item table.
constexpr uint32_t Bit(int pos) { return pos < kItems ? uint32_t{1} << pos : 0; }

constexpr Scatter MakeScatter() {
  Scatter s{};
  for (int half = 0; half < 2; ++half)
    for (int m = 0; m < 256; ++m)
      for (int b = 0; b < 8; ++b)
        if ((m >> b) & 1) {
          s.entries[half][m] |= Bit(kOrder.entryPos[8 * half + b]);
          s.children[half][m] |= Bit(kOrder.childPos[8 * half + b]);
        }
  return s;
}

constexpr Scatter kScatter = MakeScatter();

inline uint32_t EntryBits(uint32_t mask) {
  return kScatter.entries[0][mask & 0xff] | kScatter.entries[1][mask >> 8];
}
inline uint32_t ChildBits(uint32_t mask) {
  return kScatter.children[0][mask & 0xff] | kScatter.children[1][mask >> 8];
}

// Asks for `bytes` of a record from `start` at once (its lines side by
// side), rather than one miss after another as a visit reads them.
inline void Fetch(const void* start, std::size_t bytes) {
  const char* line = static_cast<const char*>(start);
  for (std::size_t b = 0; b < bytes; b += 64) __builtin_prefetch(line + b);
}

}  // namespace

void QueryIndex::Clear() {
  nodes_.clear();
  nodes_.shrink_to_fit();
  children_.clear();
  children_.shrink_to_fit();
  height_ = 0;
  ready_ = false;
}

void QueryIndex::MarkReady() {
  // A triangle's top entry comes first in its pre-order: its rank is the
  // least of every box in the subtree.
  for (Children& room : children_)
    for (int c = 0; c < kSlots; ++c)
      if (room.node[c] != kNone) {
        const Node& child = nodes_[room.node[c]];
        room.rank[c] = *std::min_element(child.rank, child.rank + kTriangleSlots);
        room.below[c] = child.children;
      }
  ready_ = true;
}

uint32_t QueryIndex::AddNode() {
  // Filled where it lies: a wide node is large, and a layout adds many.
  Node& node = nodes_.emplace_back();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int a = 0; a < 3; ++a)
    for (int s = 0; s < kSlots; ++s) {
      node.lo[a][s] = node.hi[a][s] = nan;
      node.flo[a][s] = node.fhi[a][s] = kNaNF;
    }
  std::memset(node.id, 0, sizeof node.id);
  for (uint32_t& r : node.rank) r = kNone;
  node.children = kNone;
  return static_cast<uint32_t>(nodes_.size() - 1);
}

void QueryIndex::SetEntry(uint32_t w, int slot, const double lo[3], const double hi[3], int32_t id,
                          uint32_t rank, bool active) {
  Node& node = nodes_[w];
  for (int a = 0; a < 3; ++a) {
    node.lo[a][slot] = lo[a];
    node.hi[a][slot] = hi[a];
    node.flo[a][slot] = FloatBelow(lo[a]);
    node.fhi[a][slot] = FloatAbove(hi[a]);
  }
  node.id[slot] = id;
  node.rank[slot] = rank;
  if (!active) Deactivate(w, slot);
}

void QueryIndex::Deactivate(uint32_t w, int slot) {
  // A NaN corner admits no point and no range.
  nodes_[w].lo[0][slot] = std::numeric_limits<double>::quiet_NaN();
  nodes_[w].flo[0][slot] = kNaNF;
}

void QueryIndex::SetChild(uint32_t w, int c, const float lo[3], const float hi[3], uint32_t child) {
  Node& node = nodes_[w];
  if (node.children == kNone) {
    Children room;
    for (int a = 0; a < 3; ++a)
      for (int s = 0; s < kSlots; ++s) room.lo[a][s] = room.hi[a][s] = kNaNF;
    for (uint32_t& n : room.node) n = kNone;
    for (uint32_t& r : room.rank) r = kNone;
    for (uint32_t& b : room.below) b = kNone;
    children_.push_back(room);
    node.children = static_cast<uint32_t>(children_.size() - 1);
  }
  Children& room = children_[node.children];
  for (int a = 0; a < 3; ++a) {
    room.lo[a][c] = lo[a];
    room.hi[a][c] = hi[a];
  }
  room.node[c] = child;
}

std::size_t QueryIndex::MemoryBytes() const {
  return nodes_.capacity() * sizeof(Node) + children_.capacity() * sizeof(Children);
}

template <class EntryMask, class ChildMask>
void QueryIndex::Walk(EntryMask entryMask, ChildMask childMask, std::vector<Frame>& stack,
                      Meshkit::List<int>& out) const {
  out.Clear();
  stack.clear();
  if (nodes_.empty()) return;
  const auto itemsOf = [&](uint32_t w) {
    const Node& node = nodes_[w];
    uint32_t bits = EntryBits(entryMask(node));
    if (node.children != kNone) {
      const Children& room = children_[node.children];
      const uint32_t hit = childMask(room);
      // Every child entered will be tested whole: the lines its test reads
      // are fetched side by side now rather than one miss after another.
      for (uint32_t m = hit; m != 0; m &= m - 1)
        Fetch(&nodes_[room.node[__builtin_ctz(m)]], kTestedBytes);
      bits |= ChildBits(hit);
    }
    return bits;
  };
  uint32_t w = 0;
  uint32_t rest = itemsOf(0);
  for (;;) {
    while (rest != 0) {
      const int item = kOrder.item[__builtin_ctz(rest)];
      rest &= rest - 1;
      if (item < kSlots) {
        out.Append(nodes_[w].id[item]);
        continue;
      }
      // Into the child; the rest of this node's items wait.
      const uint32_t child = children_[nodes_[w].children].node[item - kSlots];
      if (rest != 0) stack.push_back(Frame{w, rest});
      w = child;
      rest = itemsOf(w);
    }
    if (stack.empty()) return;
    w = stack.back().wide;
    rest = stack.back().rest;
    stack.pop_back();
  }
}

// The masks of one visit: bit s is lane s's outcome. Every comparison is
// evaluated, so the tests carry no branch; a NaN fails every comparison
// and admits nothing. With SSE2, four float boxes are compared at a time.
namespace {

#if defined(__SSE2__)
// Lane s: lo <= qhi and qlo <= hi on every axis.
inline uint32_t InsideMask(const float (&lo)[3][QueryIndex::kSlots],
                           const float (&hi)[3][QueryIndex::kSlots], const float qlo[3],
                           const float qhi[3]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; s += 4) {
    __m128 ok = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (int a = 0; a < 3; ++a) {
      ok = _mm_and_ps(ok, _mm_cmple_ps(_mm_loadu_ps(&lo[a][s]), _mm_set1_ps(qhi[a])));
      ok = _mm_and_ps(ok, _mm_cmple_ps(_mm_set1_ps(qlo[a]), _mm_loadu_ps(&hi[a][s])));
    }
    m |= static_cast<uint32_t>(_mm_movemask_ps(ok)) << s;
  }
  return m;
}
// Lane s: some side of the box equals the query's float corner on its
// side (lo == qhi or hi == qlo on an axis), where the float test alone
// cannot tell.
inline uint32_t EdgeMask(const float (&lo)[3][QueryIndex::kSlots],
                         const float (&hi)[3][QueryIndex::kSlots], const float qlo[3],
                         const float qhi[3]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; s += 4) {
    __m128 eq = _mm_setzero_ps();
    for (int a = 0; a < 3; ++a) {
      eq = _mm_or_ps(eq, _mm_cmpeq_ps(_mm_loadu_ps(&lo[a][s]), _mm_set1_ps(qhi[a])));
      eq = _mm_or_ps(eq, _mm_cmpeq_ps(_mm_set1_ps(qlo[a]), _mm_loadu_ps(&hi[a][s])));
    }
    m |= static_cast<uint32_t>(_mm_movemask_ps(eq)) << s;
  }
  return m;
}
#else
inline uint32_t EdgeMask(const float (&lo)[3][QueryIndex::kSlots],
                         const float (&hi)[3][QueryIndex::kSlots], const float qlo[3],
                         const float qhi[3]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; ++s)
    m |= static_cast<uint32_t>((lo[0][s] == qhi[0]) | (qlo[0] == hi[0][s]) | (lo[1][s] == qhi[1]) |
                               (qlo[1] == hi[1][s]) | (lo[2][s] == qhi[2]) | (qlo[2] == hi[2][s]))
         << s;
  return m;
}
inline uint32_t InsideMask(const float (&lo)[3][QueryIndex::kSlots],
                           const float (&hi)[3][QueryIndex::kSlots], const float qlo[3],
                           const float qhi[3]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; ++s)
    m |= static_cast<uint32_t>((lo[0][s] <= qhi[0]) & (qlo[0] <= hi[0][s]) & (lo[1][s] <= qhi[1]) &
                               (qlo[1] <= hi[1][s]) & (lo[2][s] <= qhi[2]) & (qlo[2] <= hi[2][s]))
         << s;
  return m;
}
#endif

}  // namespace

void QueryIndex::QueryPoint(const double p[3], std::vector<Frame>& stack,
                            Meshkit::List<int>& out) const {
  QueryRange(p, p, stack, out);
}

// A box [lo, hi] overlaps [qlo, qhi] when lo <= qhi and qlo <= hi on every
// axis (for a point, qlo = qhi = p: the box holds it); a float box around
// boxes can overlap it only when lo <= FloatBelow(qhi) and FloatAbove(qlo)
// <= hi, the tests the binary tree prunes with.
void QueryIndex::QueryRange(const double qlo[3], const double qhi[3], std::vector<Frame>& stack,
                            Meshkit::List<int>& out) const {
  float below[3], above[3];
  for (int a = 0; a < 3; ++a) {
    below[a] = FloatBelow(qhi[a]);
    above[a] = FloatAbove(qlo[a]);
  }
  // An entry's float box [flo, fhi] decides the exact test unless a side
  // equals the query's float corner: flo < FloatBelow(qhi) gives lo <= qhi
  // (lo lies below the float after flo, which is at most FloatBelow(qhi)),
  // flo > FloatBelow(qhi) gives lo > qhi, and likewise for hi against qlo.
  // The undecided entries, rare, take the exact test on their doubles.
  const auto entries = [&](const Node& n) {
    const uint32_t possible = InsideMask(n.flo, n.fhi, above, below);
    uint32_t undecided = possible == 0 ? 0 : possible & EdgeMask(n.flo, n.fhi, above, below);
    uint32_t hit = possible & ~undecided;
    for (; undecided != 0; undecided &= undecided - 1) {
      const int s = __builtin_ctz(undecided);
      const double lo[3] = {n.lo[0][s], n.lo[1][s], n.lo[2][s]};
      const double hi[3] = {n.hi[0][s], n.hi[1][s], n.hi[2][s]};
      if (BoxOverlaps(lo, hi, qlo, qhi)) hit |= uint32_t{1} << s;
    }
    return hit;
  };
  Walk(
      entries, [&below, &above](const Children& c) { return InsideMask(c.lo, c.hi, above, below); },
      stack, out);
}

// The distances of one visit, by BoxDistance's operations in its order:
// per axis the larger of lo - p (where p < lo) and p - hi (where p > hi),
// else 0, then sqrt((gx*gx + gy*gy) + gz*gz), all in doubles (a float box's
// bounds converted first). The returned mask has bit s for the lanes that
// count and lie within `reach`: entries without a NaN coordinate (a removed
// entry's lo is NaN), children whose box is not the empty one. With SSE2,
// two lanes at a time.
namespace {

#if defined(__SSE2__)
inline __m128d Gap(__m128d lo, __m128d hi, __m128d p) {
  const __m128d below = _mm_and_pd(_mm_cmplt_pd(p, lo), _mm_sub_pd(lo, p));
  const __m128d above = _mm_and_pd(_mm_cmpgt_pd(p, hi), _mm_sub_pd(p, hi));
  return _mm_max_pd(below, above);  // below > above ? below : above
}

inline __m128d Distance(const __m128d (&lo)[3], const __m128d (&hi)[3], const double p[3]) {
  __m128d g[3];
  for (int a = 0; a < 3; ++a) g[a] = Gap(lo[a], hi[a], _mm_set1_pd(p[a]));
  const __m128d xy = _mm_add_pd(_mm_mul_pd(g[0], g[0]), _mm_mul_pd(g[1], g[1]));
  return _mm_sqrt_pd(_mm_add_pd(xy, _mm_mul_pd(g[2], g[2])));
}

inline uint32_t Distances(const double (&lo)[3][QueryIndex::kSlots],
                          const double (&hi)[3][QueryIndex::kSlots], const double p[3],
                          double reach, double (&out)[QueryIndex::kSlots]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; s += 2) {
    __m128d l[3], h[3];
    __m128d ordered = _mm_castsi128_pd(_mm_set1_epi32(-1));
    for (int a = 0; a < 3; ++a) {
      l[a] = _mm_loadu_pd(&lo[a][s]);
      h[a] = _mm_loadu_pd(&hi[a][s]);
      ordered = _mm_and_pd(ordered, _mm_cmpord_pd(l[a], h[a]));
    }
    const __m128d d = Distance(l, h, p);
    _mm_storeu_pd(&out[s], d);
    const __m128d near = _mm_and_pd(ordered, _mm_cmple_pd(d, _mm_set1_pd(reach)));
    m |= static_cast<uint32_t>(_mm_movemask_pd(near)) << s;
  }
  return m;
}

inline uint32_t Distances(const float (&lo)[3][QueryIndex::kSlots],
                          const float (&hi)[3][QueryIndex::kSlots], const double p[3], double reach,
                          double (&out)[QueryIndex::kSlots]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; s += 4) {
    __m128d l[2][3], h[2][3];
    for (int a = 0; a < 3; ++a) {
      const __m128 fl = _mm_loadu_ps(&lo[a][s]), fh = _mm_loadu_ps(&hi[a][s]);
      l[0][a] = _mm_cvtps_pd(fl);
      l[1][a] = _mm_cvtps_pd(_mm_movehl_ps(fl, fl));
      h[0][a] = _mm_cvtps_pd(fh);
      h[1][a] = _mm_cvtps_pd(_mm_movehl_ps(fh, fh));
    }
    const __m128d d0 = Distance(l[0], h[0], p), d1 = Distance(l[1], h[1], p);
    _mm_storeu_pd(&out[s], d0);
    _mm_storeu_pd(&out[s + 2], d1);
    const __m128 x = _mm_loadu_ps(&lo[0][s]);
    const __m128d r = _mm_set1_pd(reach);
    const uint32_t near = static_cast<uint32_t>(_mm_movemask_pd(_mm_cmple_pd(d0, r))) |
                          static_cast<uint32_t>(_mm_movemask_pd(_mm_cmple_pd(d1, r))) << 2;
    m |= (static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpord_ps(x, x))) & near) << s;
  }
  return m;
}
#else
template <class T>
inline uint32_t Distances(const T (&lo)[3][QueryIndex::kSlots],
                          const T (&hi)[3][QueryIndex::kSlots], const double p[3], double reach,
                          double (&out)[QueryIndex::kSlots]) {
  uint32_t m = 0;
  for (int s = 0; s < QueryIndex::kSlots; ++s) {
    const T l[3] = {lo[0][s], lo[1][s], lo[2][s]}, h[3] = {hi[0][s], hi[1][s], hi[2][s]};
    out[s] = DistanceTo(l, h, p);
    // An entry counts without a NaN coordinate, a child without the empty box.
    const bool counts = sizeof(T) == sizeof(double)
                            ? !std::isnan(l[0]) && !std::isnan(l[1]) && !std::isnan(l[2]) &&
                                  !std::isnan(h[0]) && !std::isnan(h[1]) && !std::isnan(h[2])
                            : !std::isnan(l[0]);
    m |= static_cast<uint32_t>(counts && out[s] <= reach) << s;
  }
  return m;
}
#endif

}  // namespace

// Depth first, nearest child first: a visit measures the node's entries
// and keeps those that precede the farthest box kept (by distance, then
// rank), then stacks the children that still could, the nearest (of equal
// bounds the least rank) on top, and fetches them all side by side, as the
// point query does. A waiting child is tested again when its turn comes,
// against the boxes kept meanwhile. Every box below a child is at least its
// bound away and of rank at least its rank, so what is passed by could not
// be kept, and the order the walk meets the boxes in changes no answer.
void QueryIndex::Nearest(const double p[3], NearestBest& best, std::vector<Waiting>& stack) const {
  stack.clear();
  if (nodes_.empty()) return;
  // Whether a is to be visited after b.
  const auto later = [](const Waiting& a, const Waiting& b) {
    return a.bound > b.bound || (a.bound == b.bound && a.rank > b.rank);
  };
  double distance[kSlots];
  stack.push_back(Waiting{0.0, 0, 0, nodes_[0].children});
  while (!stack.empty()) {
    const Waiting visit = stack.back();
    stack.pop_back();
    if (!best.Precedes(visit.bound, visit.rank)) continue;
    const Node& node = nodes_[visit.wide];
    const uint32_t entries = Distances(node.lo, node.hi, p, best.Reach(), distance) & kTriangleMask;
    for (uint32_t m = entries; m != 0; m &= m - 1) {
      const int s = __builtin_ctz(m);
      if (best.Precedes(distance[s], node.rank[s]))
        best.Keep(distance[s], node.rank[s], node.id[s]);
    }
    if (visit.children == kNone) continue;
    const Children& room = children_[visit.children];
    Waiting near[kSlots];
    int n = 0;
    for (uint32_t m = Distances(room.lo, room.hi, p, best.Reach(), distance); m != 0; m &= m - 1) {
      const int c = __builtin_ctz(m);
      if (!best.Precedes(distance[c], room.rank[c])) continue;
      // Sorted by insertion, the farthest first.
      const Waiting q{distance[c], room.rank[c], room.node[c], room.below[c]};
      int i = n++;
      for (; i > 0 && later(q, near[i - 1]); --i) near[i] = near[i - 1];
      near[i] = q;
    }
    // The nearest three, most often all that is entered: by then the
    // farther ones are ruled out (fetching every one cost more than it won).
    for (int i = n; i-- > std::max(0, n - 3);) {
      // The ids and ranks and the exact boxes: the float ones go unread.
      Fetch(nodes_[near[i].wide].id, sizeof(Node) - offsetof(Node, id));
      if (near[i].children != kNone) Fetch(&children_[near[i].children], sizeof(Children));
    }
    stack.insert(stack.end(), near, near + n);
  }
}

}  // namespace boxfinder
