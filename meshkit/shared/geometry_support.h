// What the element geometry of both families shares: small vector
// arithmetic on Coord3, the test of a usable Jacobian determinant, the
// nearest node of a start point and the failure record of the inverse
// mapping. Internal to the library's sources.
#pragma once

#include <meshkit/geometry.h>

#include <cmath>
#include <limits>

namespace Meshkit {
namespace geometry {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline Coord3 Add(const Coord3& a, const Coord3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Coord3 Subtract(const Coord3& a, const Coord3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Coord3 Scale(double s, const Coord3& a) { return {s * a.x, s * a.y, s * a.z}; }
inline double Dot(const Coord3& a, const Coord3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Length(const Coord3& a) { return std::sqrt(Dot(a, a)); }
inline bool Finite(const Coord3& a) {
  return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

inline bool Usable(double det) { return det != 0 && std::isfinite(det); }

// The node whose coordinates lie nearest the target, when nearer than
// `than`; else -1.
inline int NearestNode(const double* xyz, int count, const Coord3& target, double than) {
  int nearest = -1;
  double best = than;
  for (int k = 0; k < count; ++k) {
    const double distance = Length(Subtract({xyz[3 * k], xyz[3 * k + 1], xyz[3 * k + 2]}, target));
    if (distance < best) best = distance, nearest = k;
  }
  return nearest;
}

inline NaturalPoint Failure(const Coord3& p, int iterations) {
  return {p, false, iterations, kNaN, kNaN};
}

}  // namespace geometry
}  // namespace Meshkit
