// Native core of the vector type: the products and the magnitude of
// three-component vectors held as three doubles x, y, z.
//
// Plain C++ with no interpreter dependency. Nothing here validates its
// input: infinities and NaNs propagate through IEEE arithmetic. The orders
// of summation are part of the contract: results match term for term.
#pragma once

#include <cmath>

namespace triad {

constexpr int kComponents = 3;

// (a.y*b.y + a.x*b.x) + a.z*b.z, summed in that order.
inline double Dot(const double a[3], const double b[3]) noexcept {
  return (a[1] * b[1] + a[0] * b[0]) + a[2] * b[2];
}

// a x b = (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x).
inline void Cross(const double a[3], const double b[3], double out[3]) noexcept {
  const double x = a[1] * b[2] - a[2] * b[1];
  const double y = a[2] * b[0] - a[0] * b[2];
  const double z = a[0] * b[1] - a[1] * b[0];
  out[0] = x;
  out[1] = y;
  out[2] = z;
}

// (a x b) . c with w = a x b summed (w.y*c.y + w.x*c.x) + w.z*c.z.
inline double TripleProduct(const double a[3], const double b[3], const double c[3]) noexcept {
  double w[3];
  Cross(a, b, w);
  return Dot(w, c);
}

// sqrt((x*x + y*y) + z*z).
inline double Magnitude(const double v[3]) noexcept {
  return std::sqrt((v[0] * v[0] + v[1] * v[1]) + v[2] * v[2]);
}

}  // namespace triad
