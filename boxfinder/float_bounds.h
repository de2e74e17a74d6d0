// Float rounding and the box tests the tree is built on: float bounds that
// enclose double intervals (rounded outwards), the smaller and larger of
// two bounds ignoring NaN, and the closed-box tests of the queries. Shared
// by the tree's updates, its storage and its queries.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace boxfinder {

constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();

// The smaller and larger of two subtree-box coordinates, ignoring a NaN on
// either side (NaN only when both are NaN).
inline double LowerOf(double l, double r) { return (l < r || std::isnan(r)) ? l : r; }
inline double UpperOf(double l, double r) { return (l > r || std::isnan(r)) ? l : r; }

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

// Float bounds of a box for the queries' active boxes: NaN (admits nothing)
// when a coordinate is NaN, since such a box matches no point and no range.
inline bool CanMatch(const double lo[3], const double hi[3]) {
  return !std::isnan(lo[0]) && !std::isnan(lo[1]) && !std::isnan(lo[2]) && !std::isnan(hi[0]) &&
         !std::isnan(hi[1]) && !std::isnan(hi[2]);
}

// The smaller and larger of two float bounds, ignoring a NaN on either side
// (NaN only when both are NaN). The comparison of two numbers is a select,
// not a branch (it goes either way on unordered data); only the NaN test,
// which goes the same way for nearly every node, remains a branch.
inline float LowerOfF(float l, float r) {
  const float m = r < l ? r : l;
  return std::isnan(l) ? r : m;
}
inline float UpperOfF(float l, float r) {
  const float m = r > l ? r : l;
  return std::isnan(l) ? r : m;
}

// Whether a float box is the empty one (NaN throughout: no active box).
inline bool IsEmpty(const float lo[3]) { return lo[0] != lo[0]; }

}  // namespace boxfinder
