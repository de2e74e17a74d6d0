// Element geometry from node coordinates: the Jacobians of both families,
// global gradients, volumes and integrals, and the inverse mappings. Every
// operation first finds the element's class in the catalogue, so that its
// local buffers (the family's largest node count) are never overrun by a
// caller's own class, which is refused.
#include <meshkit/geometry.h>

#include <cmath>
#include <limits>

#include <meshkit/surface/surface_element.h>
#include <meshkit/volume/volume_element.h>

#include "catalogue.h"

namespace Meshkit {
namespace {

using catalogue::kMaxSurfaceNodes;
using catalogue::kMaxVolumeNodes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Coord3 Add(const Coord3& a, const Coord3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Coord3 Subtract(const Coord3& a, const Coord3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Coord3 Scale(double s, const Coord3& a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(const Coord3& a, const Coord3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const Coord3& a) { return std::sqrt(Dot(a, a)); }
bool Finite(const Coord3& a) {
  return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

// J[i][j] = sum over nodes of x_k[i] dN_k/dp_j, from 3n natural derivatives.
Matrix3 JacobianFrom(const double* d, const double* xyz, int n) {
  Matrix3 j = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
  for (int k = 0; k < n; ++k) {
    const double* dk = d + 3 * k;
    const double* xk = xyz + 3 * k;
    for (int i = 0; i < 3; ++i) {
      j.m[i][0] += xk[i] * dk[0];
      j.m[i][1] += xk[i] * dk[1];
      j.m[i][2] += xk[i] * dk[2];
    }
  }
  return j;
}

double Determinant(const Matrix3& j) {
  const auto& m = j.m;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The inverse by cofactors, given the determinant (non-zero, finite).
Matrix3 Inverse(const Matrix3& j, double det) {
  const auto& m = j.m;
  const double s = 1 / det;
  Matrix3 r;
  r.m[0][0] = s * (m[1][1] * m[2][2] - m[1][2] * m[2][1]);
  r.m[0][1] = s * (m[0][2] * m[2][1] - m[0][1] * m[2][2]);
  r.m[0][2] = s * (m[0][1] * m[1][2] - m[0][2] * m[1][1]);
  r.m[1][0] = s * (m[1][2] * m[2][0] - m[1][0] * m[2][2]);
  r.m[1][1] = s * (m[0][0] * m[2][2] - m[0][2] * m[2][0]);
  r.m[1][2] = s * (m[0][2] * m[1][0] - m[0][0] * m[1][2]);
  r.m[2][0] = s * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  r.m[2][1] = s * (m[0][1] * m[2][0] - m[0][0] * m[2][1]);
  r.m[2][2] = s * (m[0][0] * m[1][1] - m[0][1] * m[1][0]);
  return r;
}

bool Usable(double det) { return det != 0 && std::isfinite(det); }

Coord3 Interpolate(const double* n, const double* xyz, int count) {
  Coord3 x = {0, 0, 0};
  for (int k = 0; k < count; ++k) {
    x.x += n[k] * xyz[3 * k];
    x.y += n[k] * xyz[3 * k + 1];
    x.z += n[k] * xyz[3 * k + 2];
  }
  return x;
}

// The node whose coordinates lie nearest the target, when nearer than
// `than`; else -1.
int NearestNode(const double* xyz, int count, const Coord3& target, double than) {
  int nearest = -1;
  double best = than;
  for (int k = 0; k < count; ++k) {
    const double distance = Length(Subtract({xyz[3 * k], xyz[3 * k + 1], xyz[3 * k + 2]}, target));
    if (distance < best) best = distance, nearest = k;
  }
  return nearest;
}

NaturalPoint Failure(const Coord3& p, int iterations) { return {p, false, iterations, kNaN, kNaN}; }

// The integral of the field (nullptr: 1) times the determinant by the
// class's own rule.
double IntegrateByOwnRule(const ElemClass& element, const double* xyz, const double* field) {
  const catalogue::VolumeEntry* entry = catalogue::Find(element);
  if (!entry) return kNaN;
  const IntegrationRule& rule = entry->rules.rules[entry->rules.own];
  double sum = 0;
  for (int q = 0; q < rule.points; ++q) {
    double d[3 * kMaxVolumeNodes];
    const int n = element.ShapeDerivatives(rule.positions[q], d);
    const double det = Determinant(JacobianFrom(d, xyz, n));
    double f = 1;
    if (field) {
      double values[kMaxVolumeNodes];
      element.ShapeFunctions(rule.positions[q], values);
      f = 0;
      for (int k = 0; k < n; ++k) f += values[k] * field[k];
    }
    sum += rule.weights[q] * f * det;
  }
  return sum;
}

}  // namespace

Coord3 MapToGlobal(const ElemClass& element, const double* nodeCoordinates, const Coord3& p) {
  if (!catalogue::Find(element)) return {kNaN, kNaN, kNaN};
  double n[kMaxVolumeNodes];
  const int count = element.ShapeFunctions(p, n);
  return Interpolate(n, nodeCoordinates, count);
}

double Jacobian(const ElemClass& element, const double* nodeCoordinates, const Coord3& p,
                Matrix3& jacobian) {
  if (!catalogue::Find(element)) {
    jacobian = Matrix3{{{kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}}};
    return kNaN;
  }
  double d[3 * kMaxVolumeNodes];
  const int n = element.ShapeDerivatives(p, d);
  jacobian = JacobianFrom(d, nodeCoordinates, n);
  return Determinant(jacobian);
}

double JacobianDeterminant(const ElemClass& element, const double* nodeCoordinates,
                           const Coord3& p) {
  Matrix3 j;
  return Jacobian(element, nodeCoordinates, p, j);
}

double GlobalDerivatives(const ElemClass& element, const double* nodeCoordinates, const Coord3& p,
                         double* gradients) {
  const catalogue::VolumeEntry* entry = catalogue::Find(element);
  if (!entry) return kNaN;
  double d[3 * kMaxVolumeNodes];
  const int n = element.ShapeDerivatives(p, d);
  const Matrix3 j = JacobianFrom(d, nodeCoordinates, n);
  const double det = Determinant(j);
  if (!Usable(det)) {
    for (int k = 0; k < 3 * n; ++k) gradients[k] = 0;
    return det;
  }
  // grad N = J^-T (natural derivatives): entry i is sum over l of
  // inverse[l][i] dN/dp_l.
  const Matrix3 inv = Inverse(j, det);
  const auto& a = inv.m;
  for (int k = 0; k < n; ++k) {
    const double d0 = d[3 * k], d1 = d[3 * k + 1], d2 = d[3 * k + 2];
    gradients[3 * k] = a[0][0] * d0 + a[1][0] * d1 + a[2][0] * d2;
    gradients[3 * k + 1] = a[0][1] * d0 + a[1][1] * d1 + a[2][1] * d2;
    gradients[3 * k + 2] = a[0][2] * d0 + a[1][2] * d1 + a[2][2] * d2;
  }
  return det;
}

double Volume(const ElemClass& element, const double* nodeCoordinates) {
  return IntegrateByOwnRule(element, nodeCoordinates, nullptr);
}

double IntegrateField(const ElemClass& element, const double* nodeCoordinates,
                      const double* field) {
  return IntegrateByOwnRule(element, nodeCoordinates, field);
}

NaturalPoint MapToNatural(const ElemClass& element, const double* nodeCoordinates,
                          const Coord3& global, double tolerance, int maxIterations) {
  const catalogue::VolumeEntry* entry = catalogue::Find(element);
  if (!entry) return Failure({kNaN, kNaN, kNaN}, 0);
  Coord3 p = entry->start;
  if (!Finite(global)) return Failure(p, 0);
  double n[kMaxVolumeNodes], d[3 * kMaxVolumeNodes];
  const int count = element.ShapeFunctions(p, n);
  Coord3 r = Subtract(Interpolate(n, nodeCoordinates, count), global);
  // A target nearer one of the nodes than the centroid's image starts
  // halfway from the centroid to that node: a quadratic map has other
  // natural points outside the domain for the same global point, which a
  // start far off can reach first.
  const int nearest = NearestNode(nodeCoordinates, count, global, Length(r));
  if (nearest >= 0) {
    const Coord3& node = entry->naturalNodes[nearest];
    p = Scale(0.5, Add(p, node));
    element.ShapeFunctions(p, n);
    r = Subtract(Interpolate(n, nodeCoordinates, count), global);
  }
  for (int iteration = 1; iteration <= maxIterations; ++iteration) {
    element.ShapeDerivatives(p, d);
    const Matrix3 j = JacobianFrom(d, nodeCoordinates, count);
    const double det = Determinant(j);
    if (!Usable(det)) return Failure(p, iteration);
    const Matrix3 inv = Inverse(j, det);
    const auto& a = inv.m;
    const Coord3 step = {a[0][0] * r.x + a[0][1] * r.y + a[0][2] * r.z,
                         a[1][0] * r.x + a[1][1] * r.y + a[1][2] * r.z,
                         a[2][0] * r.x + a[2][1] * r.y + a[2][2] * r.z};
    if (!Finite(step)) return Failure(p, iteration);
    const double largest =
        std::fmax(std::fabs(step.x), std::fmax(std::fabs(step.y), std::fabs(step.z)));
    // The full step where it brings the image closer to the target, else
    // the step halved until it does (at most kHalvings times): far from the
    // target a strongly curved map (the quadratic pyramid's) can send the
    // full step away.
    constexpr int kHalvings = 10;
    const double before = Length(r);
    double t = 1;
    Coord3 q = p, rq = r;
    for (int halving = 0; halving <= kHalvings; ++halving) {
      q = Subtract(p, Scale(t, step));
      element.ShapeFunctions(q, n);
      rq = Subtract(Interpolate(n, nodeCoordinates, count), global);
      if (!(Length(rq) > before) || largest <= tolerance) break;
      t *= 0.5;
    }
    p = q;
    r = rq;
    // An image beyond the doubles' range is no answer, whatever the step.
    if (!std::isfinite(Length(r))) return Failure(p, iteration);
    if (largest <= tolerance) {
      return {p, true, iteration, JacobianDeterminant(element, nodeCoordinates, p), Length(r)};
    }
  }
  return {p, false, maxIterations < 0 ? 0 : maxIterations,
          JacobianDeterminant(element, nodeCoordinates, p), Length(r)};
}

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
