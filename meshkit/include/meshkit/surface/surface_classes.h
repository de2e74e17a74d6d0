// The four surface element classes. Each derives directly from SurfElemClass,
// adds no data and overrides the operations the base leaves open; the
// contracts are those of surface_element.h.
#pragma once

#include "surface_element.h"

// The overrides every surface class declares, written once.
#define MESHKIT_SURFACE_OPERATIONS                                                 \
  int ShapeFunctions(const Coord2& p, double* values) const override;              \
  int ShapeFunctions2D(const Coord2& p, double* values) const override;            \
  int CornerShapeFunctions(const Coord2& p, double* values) const override;        \
  int ShapeDerivatives(const Coord2& p, double* derivatives) const override;       \
  int ShapeDerivatives2D(const Coord2& p, double* derivatives) const override;     \
  int ShapeSecondDerivatives(const Coord2& p, double* derivatives) const override; \
  bool IsInside(const Coord2& p, double tolerance) const override;                 \
  bool IsInside2D(const Coord2& p, double tolerance) const override;               \
  Coord3 ClampToElement(const Coord2& p) const override;                           \
  Coord2 ClampToElement2D(const Coord2& p) const override;                         \
  Coord2 NodeCoordinates(int node) const override;                                 \
  bool IsAtNode(const Coord2& p) const override;                                   \
  Coord2 CentrePoint() const override;                                             \
  void SurfaceQuadrature(Coord2* points, double* weights) const override;          \
  MESHKIT_FACE_AND_EXTRAPOLATION_OPERATIONS

namespace Meshkit {

// A linear triangle on r, s >= 0, r + s <= 1 with nodes at its three corners.
class MESHKIT_API SECTriangle3 : public SurfElemClass {
 public:
  constexpr SECTriangle3() = default;
  MESHKIT_SURFACE_OPERATIONS
};

// A quadratic triangle on the same domain with corner and edge-midpoint nodes.
class MESHKIT_API SECTriangle6 : public SurfElemClass {
 public:
  constexpr SECTriangle6() = default;
  MESHKIT_SURFACE_OPERATIONS
};

// A bilinear quadrilateral on the square [-1, 1]^2 with nodes at its corners.
class MESHKIT_API SECQuadrilateral4 : public SurfElemClass {
 public:
  constexpr SECQuadrilateral4() = default;
  MESHKIT_SURFACE_OPERATIONS
};

// A quadratic serendipity quadrilateral on [-1, 1]^2, corners then edge midpoints.
class MESHKIT_API SECQuadrilateral8 : public SurfElemClass {
 public:
  constexpr SECQuadrilateral8() = default;
  MESHKIT_SURFACE_OPERATIONS
};

}  // namespace Meshkit
