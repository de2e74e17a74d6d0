// Value records of the element library: plain structures of doubles, copied
// by value. The library treats the components of a tensor alike and never
// interprets their order.
#pragma once

#include "list.h"

namespace Meshkit {

// A natural point of a volume element, or a vector value.
struct Coord3 {
  double x, y, z;
};

// A symmetric tensor value in six components.
struct Tensor6 {
  double c[6];
};

// A full 3-by-3 tensor value in nine components.
struct Tensor9 {
  double c[9];
};

// value += weight * term, component by component, for every value type the
// extrapolation carries.
inline void AddScaled(double& value, double weight, const double& term) { value += weight * term; }
inline void AddScaled(Coord3& value, double weight, const Coord3& term) {
  value.x += weight * term.x;
  value.y += weight * term.y;
  value.z += weight * term.z;
}
inline void AddScaled(Tensor6& value, double weight, const Tensor6& term) {
  for (int k = 0; k < 6; ++k) value.c[k] += weight * term.c[k];
}
inline void AddScaled(Tensor9& value, double weight, const Tensor9& term) {
  for (int k = 0; k < 9; ++k) value.c[k] += weight * term.c[k];
}

}  // namespace Meshkit
