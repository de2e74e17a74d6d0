// Element geometry from node coordinates, for both families: the map from
// natural to global coordinates, its Jacobian and determinant, the shape
// functions' gradients in global coordinates, a volume element's volume and
// integral of a nodal field, and the inverse mapping (global to natural).
//
// Node coordinates are one x, y, z per node in node order (3n doubles), as
// the surface family takes them. The operations are free functions of the
// element instance; they allocate nothing, throw nothing and are re-entrant.
// They work for the library's twelve classes: for a caller's own class
// (derived from a base) they report failure (a NaN result, zero gradients,
// an inverse mapping that did not converge). NaN or infinite input gives the
// same failures or NaN results, never a crash.
//
// Locating a point found by a box search (see the README):
//   Meshkit::NaturalPoint hit = Meshkit::MapToNatural(Meshkit::kBrick8, xyz, p);
//   if (hit.converged && Meshkit::kBrick8.IsInside(hit.point, 1e-9)) ...
#pragma once

#include "api.h"
#include "records.h"
#include "surface/surface_records.h"

namespace Meshkit {

class ElemClass;
class SurfElemClass;

// A 3-by-3 matrix, m[row][column].
struct Matrix3 {
  double m[3][3];
};

// The outcome of an inverse mapping.
struct NaturalPoint {
  // The natural point reached (a surface's r, s with z = 0).
  Coord3 point;
  // True when the last Newton step was at most the tolerance in every
  // natural coordinate; false on reaching the iteration limit, on a
  // singular or non-finite Jacobian, on non-finite input, or for a class not
  // of the library.
  bool converged;
  // Newton steps taken.
  int iterations;
  // The Jacobian determinant at `point` (a surface's area scale): negative
  // where a volume element is inverted (folded) there.
  double determinant;
  // The distance in global units from the image of `point` to the target
  // (for a surface, how far the target lies off the surface).
  double distance;
};

// Default tolerance (natural units) and iteration limit of MapToNatural.
inline constexpr double kNaturalTolerance = 1e-12;
inline constexpr int kNaturalIterations = 20;

// Volume family.

// The global position at natural point p: the sum over nodes of N_i(p) x_i.
MESHKIT_API Coord3 MapToGlobal(const ElemClass& element, const double* nodeCoordinates,
                               const Coord3& p);
// Sets jacobian.m[i][j] = d x_i / d p_j (row: global x, y, z; column:
// natural direction) at p and returns its determinant.
MESHKIT_API double Jacobian(const ElemClass& element, const double* nodeCoordinates,
                            const Coord3& p, Matrix3& jacobian);
MESHKIT_API double JacobianDeterminant(const ElemClass& element, const double* nodeCoordinates,
                                       const Coord3& p);
// Writes dN_i/dx, dN_i/dy, dN_i/dz (global) to gradients[3i .. 3i + 2] for
// every node i and returns the Jacobian determinant at p. Where it is zero
// or not finite (a degenerate element, NaN input) the 3n gradients are set
// to zero. `gradients` has room for 3 values per node.
MESHKIT_API double GlobalDerivatives(const ElemClass& element, const double* nodeCoordinates,
                                     const Coord3& p, double* gradients);
// The element's volume: the sum over its own rule's points (IntegrationRules'
// `own`) of weight times the Jacobian determinant; negative for an element
// inverted throughout.
MESHKIT_API double Volume(const ElemClass& element, const double* nodeCoordinates);
// The integral over the element of the field interpolated from its nodal
// values (one per node), by the same rule.
MESHKIT_API double IntegrateField(const ElemClass& element, const double* nodeCoordinates,
                                  const double* field);
// The natural point whose image is `global`, by Newton's method on the
// element's own map from the natural domain's centroid; the point need not
// lie inside the element (test the result with IsInside). Converged when a
// step moves no natural coordinate by more than `tolerance`; at most
// `maxIterations` steps.
MESHKIT_API NaturalPoint MapToNatural(const ElemClass& element, const double* nodeCoordinates,
                                      const Coord3& global, double tolerance = kNaturalTolerance,
                                      int maxIterations = kNaturalIterations);

// Surface family.

// Sets frame to the tangents along r and s and their cross product at p
// (SurfElemClass::SurfaceTangents) and returns the area scale, the normal's
// length.
MESHKIT_API double Jacobian(const SurfElemClass& element, const double* nodeCoordinates,
                            const Coord2& p, SurfaceFrame& frame);
MESHKIT_API double JacobianDeterminant(const SurfElemClass& element, const double* nodeCoordinates,
                                       const Coord2& p);
// Writes the surface gradient of every node's shape function (a vector in
// the tangent plane, global coordinates) to gradients[3i .. 3i + 2] and
// returns the area scale at p; zero gradients where it is zero or not
// finite.
MESHKIT_API double GlobalDerivatives(const SurfElemClass& element, const double* nodeCoordinates,
                                     const Coord2& p, double* gradients);
// The natural point of the surface nearest `global` (its image is the foot
// of the perpendicular), by Gauss-Newton steps from the natural domain's
// centroid; `distance` then tells how far the target lies off the surface.
MESHKIT_API NaturalPoint MapToNatural(const SurfElemClass& element, const double* nodeCoordinates,
                                      const Coord3& global, double tolerance = kNaturalTolerance,
                                      int maxIterations = kNaturalIterations);

}  // namespace Meshkit
