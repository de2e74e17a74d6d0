// The eight volume element classes. Each derives directly from ElemClass,
// holds no data and lives in its own natural coordinates (see volume_element.h
// for the contracts and volume_tables.h for node coordinates and faces).
#pragma once

#include "volume_element.h"

// The overrides every volume class declares, written once.
#define MESHKIT_VOLUME_OPERATIONS                                            \
  int ShapeFunctions(const Coord3& p, double* values) const override;        \
  int ShapeDerivatives(const Coord3& p, double* derivatives) const override; \
  bool IsInside(const Coord3& p, double t) const override;                   \
  Coord3 ClampToElement(const Coord3& p) const override;                     \
  Coord3 CentrePoint() const override;                                       \
  int FaceCount() const override;                                            \
  MESHKIT_FACE_AND_EXTRAPOLATION_OPERATIONS

namespace Meshkit {

// Linear tetrahedron, corners at the unit axes and the origin (4 nodes).
class MESHKIT_API ECTetrahedral4 final : public ElemClass {
 public:
  constexpr ECTetrahedral4() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Quadratic tetrahedron on the same domain, midside nodes on the six edges (10 nodes).
class MESHKIT_API ECTetrahedral10 final : public ElemClass {
 public:
  constexpr ECTetrahedral10() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Linear pyramid on [-1, 1]^3, base on x = +1, face x = -1 collapsed to the apex (5 nodes).
class MESHKIT_API ECPyramid5 final : public ElemClass {
 public:
  constexpr ECPyramid5() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Quadratic pyramid on [-1, 1]^3, base on y = -1, face y = +1 collapsed to the apex (13 nodes).
class MESHKIT_API ECPyramid13 final : public ElemClass {
 public:
  constexpr ECPyramid13() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Linear wedge, unit triangle times z in [0, 1], node 0 at x = 1 (6 nodes).
class MESHKIT_API ECWedge6 final : public ElemClass {
 public:
  constexpr ECWedge6() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Quadratic wedge, unit triangle times z in [-1, 1], node 0 at the origin (15 nodes).
class MESHKIT_API ECWedge15 final : public ElemClass {
 public:
  constexpr ECWedge15() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Trilinear brick on [0, 1]^3, z fastest over the corner numbers (8 nodes).
class MESHKIT_API ECBrick8 final : public ElemClass {
 public:
  constexpr ECBrick8() = default;
  MESHKIT_VOLUME_OPERATIONS
};

// Serendipity brick on [-1, 1]^3, midside nodes on the twelve edges (20 nodes).
class MESHKIT_API ECBrick20 final : public ElemClass {
 public:
  constexpr ECBrick20() = default;
  MESHKIT_VOLUME_OPERATIONS
};

}  // namespace Meshkit
