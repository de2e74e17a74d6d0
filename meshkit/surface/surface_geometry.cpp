// Element geometry of the surface family from node coordinates: the
// Jacobian (the surface frame and its area scale), global gradients and the
// inverse mapping. Every operation first finds the element's class in the
// catalogue, so that its local buffers (the family's largest node count) are
// never overrun by a caller's own class, which is refused.
#include <meshkit/geometry.h>

#include <cmath>

#include <meshkit/surface/surface_element.h>

#include "shared/catalogue.h"
#include "shared/geometry_support.h"

namespace Meshkit {
namespace {

using catalogue::kMaxSurfaceNodes;
using namespace geometry;

}  // namespace

double Jacobian(const SurfElemClass& element, const double* nodeCoordinates, const Coord2& p,
                SurfaceFrame& frame) {
  if (!catalogue::Find(element)) {
    frame = SurfaceFrame{{kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}};
    return kNaN;
  }
  element.SurfaceTangents(nodeCoordinates, p, frame);
  return Length(frame.normal);
}

double JacobianDeterminant(const SurfElemClass& element, const double* nodeCoordinates,
                           const Coord2& p) {
  SurfaceFrame frame;
  return Jacobian(element, nodeCoordinates, p, frame);
}

double GlobalDerivatives(const SurfElemClass& element, const double* nodeCoordinates,
                         const Coord2& p, double* gradients) {
  const catalogue::SurfaceEntry* entry = catalogue::Find(element);
  if (!entry) return kNaN;
  SurfaceFrame frame;
  element.SurfaceTangents(nodeCoordinates, p, frame);
  const double area = Length(frame.normal);
  double d[2 * kMaxSurfaceNodes];
  const int n = element.ShapeDerivatives2D(p, d);
  if (!Usable(area)) {
    for (int k = 0; k < 3 * n; ++k) gradients[k] = 0;
    return area;
  }
  // grad N = sum over a, b of (G^-1)[a][b] (dN/dp_b) t_a, G the metric
  // t_a . t_b, whose determinant is the squared area scale.
  const Coord3& tr = frame.tangentR;
  const Coord3& ts = frame.tangentS;
  const double g = 1 / (area * area);
  const double irr = g * Dot(ts, ts), iss = g * Dot(tr, tr), irs = -g * Dot(tr, ts);
  for (int k = 0; k < n; ++k) {
    const double dr = d[2 * k], ds = d[2 * k + 1];
    const double cr = irr * dr + irs * ds, cs = irs * dr + iss * ds;
    const Coord3 v = Add(Scale(cr, tr), Scale(cs, ts));
    gradients[3 * k] = v.x;
    gradients[3 * k + 1] = v.y;
    gradients[3 * k + 2] = v.z;
  }
  return area;
}

NaturalPoint MapToNatural(const SurfElemClass& element, const double* nodeCoordinates,
                          const Coord3& global, double tolerance, int maxIterations) {
  const catalogue::SurfaceEntry* entry = catalogue::Find(element);
  if (!entry) return Failure({kNaN, kNaN, kNaN}, 0);
  Coord2 p = entry->start;
  if (!Finite(global)) return Failure({p.r, p.s, 0}, 0);
  // Halfway to the nearest node where it is nearer than the centroid's image
  // (as for the volume family).
  const double fromCentre = Length(Subtract(element.MapToGlobal(p, nodeCoordinates), global));
  const int nearest = NearestNode(nodeCoordinates, entry->nodes, global, fromCentre);
  if (nearest >= 0) {
    const Coord2& node = entry->naturalNodes[nearest];
    p = Coord2{0.5 * (p.r + node.r), 0.5 * (p.s + node.s)};
  }
  for (int iteration = 1; iteration <= maxIterations; ++iteration) {
    // Newton's method on the squared distance: gradient T^T r and Hessian
    // T^T T plus r times the map's second derivatives; where that Hessian
    // is not positive definite (far from a curved surface) the Gauss-Newton
    // matrix T^T T alone, which always is for a regular element.
    SurfaceFrame frame;
    element.SurfaceTangents(nodeCoordinates, p, frame);
    const Coord3 r = Subtract(element.MapToGlobal(p, nodeCoordinates), global);
    double second[3 * kMaxSurfaceNodes];
    const int n = element.ShapeSecondDerivatives(p, second);
    Coord3 xrr = {0, 0, 0}, xss = {0, 0, 0}, xrs = {0, 0, 0};
    for (int k = 0; k < n; ++k) {
      const Coord3 node = {nodeCoordinates[3 * k], nodeCoordinates[3 * k + 1],
                           nodeCoordinates[3 * k + 2]};
      xrr = Add(xrr, Scale(second[3 * k], node));
      xss = Add(xss, Scale(second[3 * k + 1], node));
      xrs = Add(xrs, Scale(second[3 * k + 2], node));
    }
    const Coord3& tr = frame.tangentR;
    const Coord3& ts = frame.tangentS;
    const double gr = Dot(tr, r), gs = Dot(ts, r);
    double hrr = Dot(tr, tr), hss = Dot(ts, ts), hrs = Dot(tr, ts);
    const double frr = hrr + Dot(r, xrr), fss = hss + Dot(r, xss), frs = hrs + Dot(r, xrs);
    if (frr > 0 && frr * fss - frs * frs > 0) hrr = frr, hss = fss, hrs = frs;
    const double det = hrr * hss - hrs * hrs;
    if (!Usable(det)) return Failure({p.r, p.s, 0}, iteration);
    const double stepR = (hss * gr - hrs * gs) / det;
    const double stepS = (hrr * gs - hrs * gr) / det;
    if (!std::isfinite(stepR) || !std::isfinite(stepS)) return Failure({p.r, p.s, 0}, iteration);
    p = Coord2{p.r - stepR, p.s - stepS};
    if (std::fmax(std::fabs(stepR), std::fabs(stepS)) <= tolerance) {
      const double distance = Length(Subtract(element.MapToGlobal(p, nodeCoordinates), global));
      if (!std::isfinite(distance)) return Failure({p.r, p.s, 0}, iteration);
      return {{p.r, p.s, 0}, true, iteration, element.AreaScale(nodeCoordinates, p), distance};
    }
  }
  const double distance = Length(Subtract(element.MapToGlobal(p, nodeCoordinates), global));
  return {{p.r, p.s, 0},
          false,
          maxIterations < 0 ? 0 : maxIterations,
          element.AreaScale(nodeCoordinates, p),
          distance};
}

}  // namespace Meshkit
