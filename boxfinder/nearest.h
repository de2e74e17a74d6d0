// What the nearest-box walks share: the distance from a point to a box (or
// to a float box around boxes, a lower bound of theirs) and the k best
// boxes met so far, ordered by distance and, at equal distance, by their
// pre-order rank. Used by the binary tree's walks (box_tree_queries.cpp)
// and the wide index's (query_index.cpp), so that both answer alike.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <meshkit/list.h>

namespace boxfinder {

// Up to this many nearest boxes are gathered without allocating.
constexpr int kInlineNearest = 32;

// The gap on one axis (see BoxDistance); of a float box too, whose bounds
// lie outside the exact ones: p - hi and lo - p only grow as hi falls and
// lo rises, and so does their rounding, so the distance to a float box
// around some boxes is never above the distance to any of them.
inline double AxisGap(double lo, double hi, double p) {
  const double below = p < lo ? lo - p : 0.0;
  const double above = p > hi ? p - hi : 0.0;
  return below > above ? below : above;
}

template <class T>
inline double DistanceTo(const T lo[3], const T hi[3], const double p[3]) {
  const double gx = AxisGap(lo[0], hi[0], p[0]);
  const double gy = AxisGap(lo[1], hi[1], p[1]);
  const double gz = AxisGap(lo[2], hi[2], p[2]);
  return std::sqrt((gx * gx + gy * gy) + gz * gz);
}

// A box met on a walk: its distance, its pre-order rank and its id. The
// nearer of two is the one at the smaller distance, or at the same
// distance the one of smaller rank.
struct Candidate {
  double distance;
  uint32_t order;
  int32_t id;
};
struct NearerThan {
  bool operator()(const Candidate& a, const Candidate& b) const {
    return a.distance < b.distance || (a.distance == b.distance && a.order < b.order);
  }
};
constexpr NearerThan Nearer{};

// The k nearest boxes met so far, within a radius: a heap with the
// farthest (and, of equal distances, latest) on top, held inline for
// k <= kInlineNearest and otherwise in one allocation of at most `boxes`
// candidates.
class NearestBest {
 public:
  NearestBest(int k, int64_t boxes, double radius)
      : limit_(static_cast<int>(std::min<int64_t>(k, boxes))), radius_(radius) {
    if (limit_ > kInlineNearest) {
      room_.resize(static_cast<std::size_t>(limit_));
      best_ = room_.data();
    }
  }
  NearestBest(const NearestBest&) = delete;
  NearestBest& operator=(const NearestBest&) = delete;

  int Limit() const { return limit_; }
  int Count() const { return count_; }
  bool Full() const { return count_ == limit_; }
  // The farthest kept box (Count() > 0).
  const Candidate& Farthest() const { return best_[0]; }
  // The distance beyond which nothing can be kept any more.
  double Reach() const { return count_ < limit_ ? radius_ : best_[0].distance; }
  // Whether a box (or a subtree's bound) at distance d can still be kept.
  bool Admits(double d) const { return count_ < limit_ ? d <= radius_ : d < best_[0].distance; }
  // Whether one at distance d could be as far as the farthest kept box.
  bool Reaches(double d) const { return count_ < limit_ ? d <= radius_ : d <= best_[0].distance; }
  // Whether a box at distance d and rank `order` (or a subtree whose
  // boxes are at least d away and of rank at least `order`) would be kept.
  bool Precedes(double d, uint32_t order) const {
    return count_ < limit_ ? d <= radius_ : Nearer(Candidate{d, order, 0}, best_[0]);
  }
  // Keeps a box, dropping the farthest one when full: the new box takes
  // its place at the top and sinks below every farther one.
  void Keep(double d, uint32_t order, int32_t id) {
    const Candidate c{d, order, id};
    if (count_ < limit_) {
      best_[count_++] = c;
      std::push_heap(best_, best_ + count_, Nearer);
      return;
    }
    int i = 0;
    for (int child = 1; child < count_; child = 2 * i + 1) {
      if (child + 1 < count_ && Nearer(best_[child], best_[child + 1])) ++child;
      if (!Nearer(c, best_[child])) break;
      best_[i] = best_[child];
      i = child;
    }
    best_[i] = c;
  }
  // Whether a kept box is exactly d away.
  bool HoldsDistance(double d) const {
    return std::any_of(best_, best_ + count_, [d](const Candidate& c) { return c.distance == d; });
  }
  // Starts again with nothing kept, within a new radius.
  void Restart(double radius) {
    count_ = 0;
    radius_ = radius;
  }
  double FarthestDistance() const {
    return std::max_element(best_, best_ + count_, Nearer)->distance;
  }
  // The kept boxes nearest first into the result lists (the heap is spent).
  void Emit(Meshkit::List<int>& out, Meshkit::List<double>* distances) {
    std::sort_heap(best_, best_ + count_, Nearer);
    for (int i = 0; i < count_; ++i) {
      out.Append(best_[i].id);
      if (distances != nullptr) distances->Append(best_[i].distance);
    }
  }

 private:
  Candidate inline_[kInlineNearest];
  std::vector<Candidate> room_;
  Candidate* best_ = inline_;
  int limit_;
  int count_ = 0;
  double radius_;
};

}  // namespace boxfinder
