// SurfElemClass: the abstract base of the surface element family.
//
// A surface element class describes a two-dimensional element in natural
// coordinates (r, s) and maps it into space through its nodes' coordinates,
// which the caller passes in. Classes hold no data and no state: every
// operation is a pure function of its arguments and the class's constant
// tables, re-entrant on any thread, and none reports an error. Arguments
// outside the documented ranges (an output array shorter than the count an
// operation announces, for instance) have no defined result.
//
// Conventions shared by every operation:
// - a point is a natural point; only its r and s are read, so a Coord2 or a
//   Coord3 (whose z is ignored) may be passed;
// - node coordinates are a contiguous array x, y, z for node 0, then node 1,
//   and so on; a nodal scalar field is one double per node, in node order;
// - nodes are numbered corners first, then midside nodes; node k is the point
//   where shape function k is 1 and every other one vanishes;
// - a surface element has exactly one face, the element itself.
//
// The operations marked "base" are written once here for every class and
// reach the class's own operations through virtual calls, so a derived class
// changes their results only through the operations it overrides. Their
// local buffers hold eight nodes, the largest node count of the family.
#pragma once

#include <meshkit/api.h>
#include <meshkit/list.h>
#include <meshkit/records.h>
#include "surface_records.h"

namespace Meshkit {

class MESHKIT_API SurfElemClass {
 public:
  constexpr SurfElemClass() = default;
  SurfElemClass(const SurfElemClass&) = delete;
  SurfElemClass& operator=(const SurfElemClass&) = delete;
  virtual ~SurfElemClass();

  // Writes the value of every node's shape function at p, in node order, and
  // returns the node count. The functions sum to 1.
  virtual int ShapeFunctions(const Coord2& p, double* values) const = 0;
  // The same values as ShapeFunctions.
  virtual int ShapeFunctions2D(const Coord2& p, double* values) const = 0;
  // Writes the shape functions of the linear element on the same corners
  // (one value per corner) and returns the corner count.
  virtual int CornerShapeFunctions(const Coord2& p, double* values) const = 0;
  // Writes dN/dr and dN/ds of every node at p into a triple per node and
  // returns the node count; the third double of each triple keeps the value
  // the caller put there.
  virtual int ShapeDerivatives(const Coord2& p, double* derivatives) const = 0;
  // Writes dN/dr and dN/ds of every node at p, two doubles per node, and
  // returns the node count.
  virtual int ShapeDerivatives2D(const Coord2& p, double* derivatives) const = 0;
  // Writes d2N/dr2, d2N/ds2 and d2N/drds of every node at p, three doubles
  // per node, and returns the node count.
  virtual int ShapeSecondDerivatives(const Coord2& p, double* derivatives) const = 0;
  // True when p lies in the natural domain widened by `tolerance` on every
  // side (bounds inclusive): the triangle r, s, 1 - r - s in [-t, 1 + t] or
  // the square [-1 - t, 1 + t]^2.
  virtual bool IsInside(const Coord2& p, double tolerance) const = 0;
  // The same test as IsInside.
  virtual bool IsInside2D(const Coord2& p, double tolerance) const = 0;
  // The point of the closed natural domain that p is brought to: each of r and
  // s limited to the domain's range, and a triangle point then still beyond
  // the edge r + s = 1 moved onto it along (-1, -1). Third component 0.
  virtual Coord3 ClampToElement(const Coord2& p) const = 0;
  // ClampToElement as a natural point.
  virtual Coord2 ClampToElement2D(const Coord2& p) const = 0;
  // The natural position of node `node` (where its shape function is 1);
  // (0, 0) for a number that is not one of the class's nodes.
  virtual Coord2 NodeCoordinates(int node) const = 0;
  // True exactly when p equals one node's position, component by component
  // and without tolerance.
  virtual bool IsAtNode(const Coord2& p) const = 0;
  // The class's reference point: (0.5, 0.5) for both triangles and the
  // 4-node quadrilateral, (0, 0) for the 8-node quadrilateral.
  virtual Coord2 CentrePoint() const = 0;
  // Writes the four points and four weights of the class's surface quadrature
  // (the weights sum to the natural domain's area).
  virtual void SurfaceQuadrature(Coord2* points, double* weights) const = 0;

  // Base. The global position at p: sum over nodes of N_k * (x_k, y_k, z_k),
  // with the ShapeFunctions2D values, in node order.
  virtual Coord3 MapToGlobal(const Coord2& p, const double* nodeCoordinates) const;
  // Base. The field at p: sum over nodes of N_k * f_k, in node order.
  virtual double InterpolateScalar(const Coord2& p, const double* field) const;
  // Base. Sets `frame` to the tangents d(position)/dr and d(position)/ds at p
  // (from ShapeDerivatives2D, nodes in order) and their cross product. The
  // normal points to the side from which corners 0, 1, 2 appear
  // counter-clockwise.
  virtual void SurfaceTangents(const double* nodeCoordinates, const Coord2& p,
                               SurfaceFrame& frame) const;
  // Base. The length of the SurfaceTangents normal at p: an area element of
  // the surface is AreaScale * dr * ds.
  virtual double AreaScale(const double* nodeCoordinates, const Coord2& p) const;
  // Base. The integral of the nodal field over the surface by the class's
  // four-point SurfaceQuadrature: sum of (f * w) * AreaScale over the points.
  virtual double IntegrateScalar(const double* nodeCoordinates, const double* field) const;
  // Base. Always 1: the element is its own single face.
  virtual int FaceCount() const;

  // The face's node count, whatever face number is passed.
  virtual int FaceNodeCount(int face) const = 0;
  // The face's corner count, whatever face number is passed.
  virtual int FaceCornerCount(int face) const = 0;
  // The constant row 0, 1, ..., FaceNodeCount - 1 (not padded), owned by the
  // class; whatever face number is passed.
  virtual const int* FaceNodes(int face) const = 0;
  // The constant row 0, 1, ..., FaceCornerCount - 1, likewise.
  virtual const int* FaceCorners(int face) const = 0;
  // Sets first and second to the corners between which midside node `node`
  // lies; for any other number (corners included) both become `node`.
  virtual void ParentCorners(int node, int& first, int& second) const = 0;

  // Extrapolation of values at a caller's integration points to the nodes:
  // `out` is cleared and receives one value per node. One input value is
  // copied to every node; an input count with one of the class's matrices is
  // combined through it (each node value the sum of matrix entry times point
  // value, points in order); any other count leaves every node value zero.
  // `in` is not changed and must not be `out`. Counts with a matrix: 3, 4, 7
  // and 13 for the triangles, 4 and 9 for the quadrilaterals; the columns
  // expect the points in the order documented with the tables.
  virtual void ExtrapolateTensor9(const List<Tensor9>& in, List<Tensor9>& out) const = 0;
  virtual void ExtrapolateTensor6(const List<Tensor6>& in, List<Tensor6>& out) const = 0;
  virtual void ExtrapolateVector(const List<Coord3>& in, List<Coord3>& out) const = 0;
  virtual void ExtrapolateScalar(const List<double>& in, List<double>& out) const = 0;
};

}  // namespace Meshkit
