// Element geometry of the volume family from node coordinates: the
// Jacobian, global gradients, volumes and integrals, and the inverse
// mapping. Every operation first finds the element's class in the
// catalogue, so that its local buffers (the family's largest node count) are
// never overrun by a caller's own class, which is refused.
#include <meshkit/geometry.h>

#include <cmath>

#include <meshkit/volume/volume_element.h>

#include "shared/catalogue.h"
#include "shared/geometry_support.h"

namespace Meshkit {
namespace {

using catalogue::kMaxVolumeNodes;
using namespace geometry;

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

Coord3 Interpolate(const double* n, const double* xyz, int count) {
  Coord3 x = {0, 0, 0};
  for (int k = 0; k < count; ++k) {
    x.x += n[k] * xyz[3 * k];
    x.y += n[k] * xyz[3 * k + 1];
    x.z += n[k] * xyz[3 * k + 2];
  }
  return x;
}

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

}  // namespace Meshkit
