// The queries: a pre-order walk that prunes with the float boxes each node
// keeps of its children, for points and ranges; the nearest boxes by a
// pre-order branch-and-bound walk; and the batch forms of all three.
#include <algorithm>
#include <cmath>
#include <vector>

#include "box_tree.h"
#include "float_bounds.h"
#include "nearest.h"

namespace boxfinder {

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
void BoxTree::PointWith(Scratch& scratch, const double p[3], Meshkit::List<int>& out) const {
  if (index_.Ready()) {
    index_.QueryPoint(p, scratch.wide, out);
    return;
  }
  CountWalk(1);
  float below[3], above[3];
  for (int a = 0; a < 3; ++a) {
    below[a] = FloatBelow(p[a]);
    above[a] = FloatAbove(p[a]);
  }
  Walk(
      RootEntry(), rootBox_, scratch.pending, [this](uint32_t i) -> const Node* { return &At(i); },
      [&below, &above](const FloatBox& b) { return FloatBoxesOverlap(b.lo, b.hi, above, below); },
      [p](const double* lo, const double* hi) { return BoxContainsPoint(lo, hi, p); }, out);
}

void BoxTree::RangeWith(Scratch& scratch, const double qlo[3], const double qhi[3],
                        Meshkit::List<int>& out) const {
  if (index_.Ready()) {
    index_.QueryRange(qlo, qhi, scratch.wide, out);
    return;
  }
  CountWalk(1);
  float below[3], above[3];
  for (int a = 0; a < 3; ++a) {
    below[a] = FloatBelow(qhi[a]);
    above[a] = FloatAbove(qlo[a]);
  }
  Walk(
      RootEntry(), rootBox_, scratch.pending, [this](uint32_t i) -> const Node* { return &At(i); },
      [&below, &above](const FloatBox& b) { return FloatBoxesOverlap(b.lo, b.hi, above, below); },
      [qlo, qhi](const double* lo, const double* hi) { return BoxOverlaps(lo, hi, qlo, qhi); },
      out);
}

void BoxTree::QueryPoint(const double p[3], Meshkit::List<int>& out) const {
  PointWith(scratch_, p, out);
}

void BoxTree::QueryRange(const double qlo[3], const double qhi[3], Meshkit::List<int>& out) const {
  RangeWith(scratch_, qlo, qhi, out);
}

double BoxDistance(const double lo[3], const double hi[3], const double p[3]) {
  if (!CanMatch(lo, hi)) return std::numeric_limits<double>::quiet_NaN();
  return DistanceTo(lo, hi, p);
}

// Through the wide index when it is ready (QueryIndex::Nearest), else in
// a built tree one best-first walk (below). After insertions, two walks.
// The first, best first (the subtree nearest by its float box
// next), finds the distance of the k-th nearest box, and nothing else: the
// order among equal distances it cannot tell. The second visits the nodes
// in pre-order within that distance, so a box met later ranks after every
// box met before it and at equal distance never displaces one. The k
// nearest so far are a heap with the farthest (and latest) on top; a
// subtree is entered only while its float box could hold a box nearer than
// that one (or, with fewer than k gathered, one within the distance).
void BoxTree::NearestWith(Scratch& scratch, const double p[3], int k, double maxDistance,
                          Meshkit::List<int>& out, Meshkit::List<double>* distances) const {
  out.Clear();
  if (distances != nullptr) distances->Clear();
  if (k < 1 || root_ == kNoNode || std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]) ||
      !(maxDistance >= 0.0) || IsEmpty(rootBox_.lo))
    return;
  NearestBest best(k, nodeCount_, maxDistance);
  const double rootBound = DistanceTo(rootBox_.lo, rootBox_.hi, p);
  if (!best.Admits(rootBound)) return;
  if (index_.Ready()) {
    index_.Nearest(p, best, scratch.wideStack);
    best.Emit(out, distances);
    return;
  }
  CountWalk(1);

  std::vector<Queued>& queue = scratch.queue;
  // The queue's front is the entry with the smallest bound, of equal bounds
  // the one with the smallest index: when it cannot precede the farthest
  // kept box, no entry can.
  const auto later = [](const Queued& a, const Queued& b) {
    return a.bound > b.bound || (a.bound == b.bound && a.index > b.index);
  };

  // A built tree's node indices are its pre-order ranks: one best-first
  // walk with the index as the order of equal distances is exact. A
  // subtree's indices all follow its entry's, so a subtree at the bound of
  // the farthest kept box is entered only when its entry precedes that box.
  if (indexOrder_) {
    queue.clear();
    queue.push_back(Queued{rootBound, rootEnter_});
    while (!queue.empty() && best.Precedes(queue.front().bound, queue.front().index)) {
      const uint32_t i = queue.front().index;
      std::pop_heap(queue.begin(), queue.end(), later);
      queue.pop_back();
      const Node* node = &At(i);
      if (node->active && CanMatch(node->lo, node->hi)) {
        const double d = DistanceTo(node->lo, node->hi, p);
        if (best.Precedes(d, i)) best.Keep(d, i, node->clientId);
      }
      for (int side = 0; side < 2; ++side) {
        const FloatBox& child = node->child[side];
        if (IsEmpty(child.lo)) continue;
        const double bound = DistanceTo(child.lo, child.hi, p);
        if (!best.Precedes(bound, node->enter[side])) continue;
        queue.push_back(Queued{bound, node->enter[side]});
        std::push_heap(queue.begin(), queue.end(), later);
      }
    }
    best.Emit(out, distances);
    return;
  }

  // 1. The k-th distance, best first. The walk also goes through subtrees
  // that could hold a box exactly as far as the k-th (`Reaches`), so that
  // when no two of the boxes within that distance are equally far (`tied`
  // stays false) it has met them all and their order by distance alone is
  // the answer; equal distances need the second walk's pre-order.
  bool tied = best.Limit() > kInlineNearest;  // the check below is for small k
  uint32_t order = 0;
  queue.clear();
  queue.push_back(Queued{rootBound, rootEnter_});
  while (!queue.empty() && best.Reaches(queue.front().bound)) {
    const Node* node = &At(queue.front().index);
    std::pop_heap(queue.begin(), queue.end(), later);
    queue.pop_back();
    if (node->active && CanMatch(node->lo, node->hi)) {
      const double d = DistanceTo(node->lo, node->hi, p);
      if (best.Admits(d)) {
        tied = tied || best.HoldsDistance(d);
        const double dropped = best.Full() ? best.Farthest().distance : -1.0;
        best.Keep(d, order++, node->clientId);
        // A dropped box as far as the new farthest one ties with it.
        tied = tied || dropped == best.Farthest().distance;
      } else if (best.Reaches(d)) {
        tied = true;  // as far as the farthest kept one
      }
    }
    for (int side = 0; side < 2; ++side) {
      const FloatBox& child = node->child[side];
      if (IsEmpty(child.lo)) continue;
      const double bound = DistanceTo(child.lo, child.hi, p);
      if (!best.Reaches(bound)) continue;
      queue.push_back(Queued{bound, node->enter[side]});
      std::push_heap(queue.begin(), queue.end(), later);
    }
  }
  if (best.Count() == 0) return;
  if (!tied) {
    best.Emit(out, distances);
    return;
  }
  best.Restart(best.FarthestDistance());
  order = 0;

  // 2. The boxes within that distance in pre-order.
  std::vector<const Node*>& pending = scratch.pending;
  std::vector<double>& bounds = scratch.bounds;
  pending.clear();
  bounds.clear();
  const Node* node = &At(rootEnter_);
  for (;;) {
    if (node->active && CanMatch(node->lo, node->hi)) {
      const double d = DistanceTo(node->lo, node->hi, p);
      if (best.Admits(d)) best.Keep(d, order++, node->clientId);
    }
    const FloatBox& right = node->child[1];
    if (!IsEmpty(right.lo)) {
      const double bound = DistanceTo(right.lo, right.hi, p);
      if (best.Admits(bound)) {
        const Node* next = &At(node->enter[1]);
        __builtin_prefetch(next);
        pending.push_back(next);
        bounds.push_back(bound);
      }
    }
    const FloatBox& left = node->child[0];
    if (!IsEmpty(left.lo) && best.Admits(DistanceTo(left.lo, left.hi, p))) {
      node = &At(node->enter[0]);
      continue;
    }
    // The next waiting right subtree that can still give a nearer box.
    node = nullptr;
    while (!pending.empty()) {
      const Node* next = pending.back();
      const double bound = bounds.back();
      pending.pop_back();
      bounds.pop_back();
      if (best.Admits(bound)) {
        node = next;
        break;
      }
    }
    if (node == nullptr) break;
  }
  best.Emit(out, distances);
}

void BoxTree::Nearest(const double p[3], int k, double maxDistance, Meshkit::List<int>& out,
                      Meshkit::List<double>* distances) const {
  NearestWith(scratch_, p, k, maxDistance, out, distances);
}

BoxTree::Scratch BoxTree::NewScratch() const {
  Scratch scratch;
  scratch.pending.reserve(static_cast<std::size_t>(height_ + 1));
  scratch.bounds.reserve(static_cast<std::size_t>(height_ + 1));
  scratch.queue.reserve(kQueueRoom);
  scratch.wide.reserve(index_.Height() + 1);
  scratch.wideStack.reserve(kQueueRoom);
  return scratch;
}

namespace {

// Runs query(i, list) for each of n queries and appends each list's ids to
// the rows (its distances too, when given).
template <class Query>
void FillRows(int64_t n, IdRows* rows, Meshkit::List<double>* distances, Query query) {
  rows->offsets.assign(1, 0);
  rows->offsets.reserve(static_cast<std::size_t>(n) + 1);
  rows->ids.clear();
  rows->distances.clear();
  Meshkit::List<int> ids;
  for (int64_t i = 0; i < n; ++i) {
    query(i, ids);
    rows->ids.insert(rows->ids.end(), ids.Data(), ids.Data() + ids.Count());
    if (distances != nullptr)
      rows->distances.insert(rows->distances.end(), distances->Data(),
                             distances->Data() + distances->Count());
    rows->offsets.push_back(static_cast<int64_t>(rows->ids.size()));
  }
}

}  // namespace

void BoxTree::QueryPointMany(const double* points, int64_t n, IdRows* rows) const {
  Scratch scratch = NewScratch();
  FillRows(n, rows, nullptr,
           [&](int64_t i, Meshkit::List<int>& ids) { PointWith(scratch, points + 3 * i, ids); });
}

void BoxTree::QueryRangeMany(const double* lows, const double* highs, int64_t n,
                             IdRows* rows) const {
  Scratch scratch = NewScratch();
  FillRows(n, rows, nullptr, [&](int64_t i, Meshkit::List<int>& ids) {
    RangeWith(scratch, lows + 3 * i, highs + 3 * i, ids);
  });
}

void BoxTree::NearestMany(const double* points, int64_t n, int k, double maxDistance,
                          bool withDistances, IdRows* rows) const {
  Scratch scratch = NewScratch();
  Meshkit::List<double> distances;
  Meshkit::List<double>* into = withDistances ? &distances : nullptr;
  FillRows(n, rows, into, [&](int64_t i, Meshkit::List<int>& ids) {
    NearestWith(scratch, points + 3 * i, k, maxDistance, ids, into);
  });
}

}  // namespace boxfinder
