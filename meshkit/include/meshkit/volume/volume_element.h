// Meshkit::ElemClass: the abstract base of the volume element classes.
//
// An element class is a bundle of pure functions of natural coordinates and
// constant tables; it holds no geometry and no state. Every operation is
// re-entrant, allocates nothing (extrapolation only through the output
// list's own growth) and reports no error: arguments outside the documented
// ranges (face numbers, node numbers, output arrays too short) are the
// caller's responsibility.
#pragma once

#include <meshkit/api.h>
#include <meshkit/list.h>
#include <meshkit/records.h>

namespace Meshkit {

class MESHKIT_API ElemClass {
 public:
  constexpr ElemClass() = default;
  ElemClass(const ElemClass&) = delete;
  ElemClass& operator=(const ElemClass&) = delete;
  virtual ~ElemClass() = default;

  // Writes N_i(p) for every node i to values[0 .. n-1]; returns n, the node
  // count. The values sum to 1 at every point; N_i is 1 at node i and 0 at
  // every other node.
  virtual int ShapeFunctions(const Coord3& p, double* values) const = 0;
  // Writes dN_i/dx, dN_i/dy, dN_i/dz to derivatives[3i], [3i+1], [3i+2] for
  // every node i (3n values); returns n.
  virtual int ShapeDerivatives(const Coord3& p, double* derivatives) const = 0;

  // True when p lies in the natural domain widened by the tolerance t
  // (natural units; t = 0 is the exact domain, bounds inclusive).
  virtual bool IsInside(const Coord3& p, double t) const = 0;
  // The point limited coordinate by coordinate to the domain's intervals and,
  // for tetrahedra and wedges beyond the slanted face, moved to the nearest
  // point of that face. An inside point is returned unchanged.
  virtual Coord3 ClampToElement(const Coord3& p) const = 0;
  // A fixed interior reference point.
  virtual Coord3 CentrePoint() const = 0;

  // Number of faces; faces are numbered from 0, quadrilaterals before
  // triangles.
  virtual int FaceCount() const = 0;
  // Number of nodes (corners and midside nodes) of face f, 0 <= f < FaceCount().
  virtual int FaceNodeCount(int f) const = 0;
  // Number of corners of face f.
  virtual int FaceCornerCount(int f) const = 0;
  // Nodes of face f: corners first, counter-clockwise seen from outside
  // (clockwise for ECWedge6), then the midside node of each edge from the
  // j-th corner to the next. Read exactly FaceNodeCount(f) entries; the row
  // is constant data owned by the class.
  virtual const int* FaceNodes(int f) const = 0;
  // Corners of face f, as the first FaceCornerCount(f) entries of the row.
  virtual const int* FaceCorners(int f) const = 0;
  // For a midside node, the two corners at the ends of its edge; for any
  // other number (corners, linear classes, numbers out of range) the number
  // itself twice.
  virtual void ParentCorners(int node, int& first, int& second) const = 0;

  // Values at the integration points (in the rule's point order) to one value
  // per node. `out` is first set to n zero values; one input value is copied
  // to every node; a point count the class accepts is combined with its
  // constant matrix; any other count leaves the zeros. Classes without
  // extrapolation (pyramids, ECWedge15) leave `out` exactly as passed. `in`
  // and `out` must be distinct lists.
  virtual void ExtrapolateTensor9(const List<Tensor9>& in, List<Tensor9>& out) const = 0;
  virtual void ExtrapolateTensor6(const List<Tensor6>& in, List<Tensor6>& out) const = 0;
  virtual void ExtrapolateVector(const List<Coord3>& in, List<Coord3>& out) const = 0;
  virtual void ExtrapolateScalar(const List<double>& in, List<double>& out) const = 0;
};

}  // namespace Meshkit
