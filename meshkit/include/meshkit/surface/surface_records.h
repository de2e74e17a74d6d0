// Value records of the surface element family, next to those of records.h.
#pragma once

#include <meshkit/records.h>

namespace Meshkit {

// A natural point (r, s) of a surface element. A Coord3 converts to it by
// dropping its third component, so every operation taking a surface point
// accepts either record.
struct Coord2 {
  double r, s;

  Coord2() = default;
  constexpr Coord2(double r_, double s_) : r(r_), s(s_) {}
  constexpr Coord2(const Coord3& p) : r(p.x), s(p.y) {}  // NOLINT: deliberate conversion
};

// The local frame of a surface at one natural point: the tangents along r and
// along s (derivatives of the global position) and their cross product, the
// normal, which is not normalised (its length is the area scale factor).
struct SurfaceFrame {
  Coord3 tangentR;
  Coord3 tangentS;
  Coord3 normal;
};

}  // namespace Meshkit
