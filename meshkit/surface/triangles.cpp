// The two triangle classes on r >= 0, s >= 0, r + s <= 1: SECTriangle3
// (linear) and SECTriangle6 (quadratic). Shape functions and derivatives
// stand side by side, one written-out line per node; the inside test, the
// clamp and the quadrature are shared by both classes; the topology and the
// extrapolations are read from the classes' tables by the shared macros.
#include "surface_extrapolation_tables.h"
#include "surface_members.h"

namespace Meshkit {
namespace {

using namespace surface_tables;

// r, s and 1 - r - s each in [-t, 1 + t], bounds inclusive.
bool InsideTriangle(const Coord2& p, double t) {
  const double l = 1.0 - p.r - p.s;
  return -t <= p.r && p.r <= 1.0 + t && -t <= p.s && p.s <= 1.0 + t && -t <= l && l <= 1.0 + t;
}

double ClampUnit(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// r and s each limited to [0, 1]; a point still beyond the edge r + s = 1 is
// then moved along (-1, -1) by half the excess each, onto the nearest point of
// the edge: r' = (1 + r - s) / 2 and s' = 1 - r', both in [0, 1], for which
// 1 - r' - s' evaluates to exactly 0. "Beyond the edge" is decided by the
// inside test's own expression 1 - r - s < 0 rather than by r + s > 1: the
// two differ by rounding (r = 1, s = 1e-300 has r + s == 1 but 1 - r - s < 0),
// and only the former guarantees that every clamped point passes the inside
// test with tolerance 0. The same rule as the volume family's triangle faces.
Coord2 ClampToTriangle(const Coord2& p) {
  const double r = ClampUnit(p.r);
  const double s = ClampUnit(p.s);
  if (!(1.0 - r - s < 0.0)) return Coord2{r, s};
  const double onEdge = 0.5 * (1.0 + r - s);
  return Coord2{onEdge, 1.0 - onEdge};
}

void TriangleQuadrature(Coord2* points, double* weights) {
  for (int q = 0; q < 4; ++q) {
    points[q] = kTriangleQuadraturePoints[q];
    weights[q] = kTriangleQuadratureWeights[q];
  }
}

int Linear(const Coord2& p, double* n) {
  const double r = p.r, s = p.s;
  n[0] = r;
  n[1] = s;
  n[2] = 1.0 - r - s;
  return 3;
}

// dN/dr and dN/ds into `stride` doubles per node (2 or 3); a third double is
// not written.
int LinearDerivatives(double* d, int stride) {
  // clang-format off
  d[0] = 1.0;              d[1] = 0.0;
  d[stride] = 0.0;         d[stride + 1] = 1.0;
  d[2 * stride] = -1.0;    d[2 * stride + 1] = -1.0;
  // clang-format on
  return 3;
}

int Quadratic(const Coord2& p, double* n) {
  const double r = p.r, s = p.s, l = 1.0 - r - s;
  n[0] = r * (2.0 * r - 1.0);
  n[1] = s * (2.0 * s - 1.0);
  n[2] = l * (2.0 * l - 1.0);
  n[3] = 4.0 * r * s;
  n[4] = 4.0 * l * s;
  n[5] = 4.0 * l * r;
  return 6;
}

int QuadraticDerivatives(const Coord2& p, double* d, int stride) {
  const double r = p.r, s = p.s, l = 1.0 - r - s;
  double* n = d;
  // clang-format off
  n[0] = 4.0 * r - 1.0;         n[1] = 0.0;                  n += stride;
  n[0] = 0.0;                   n[1] = 4.0 * s - 1.0;        n += stride;
  n[0] = -(4.0 * l - 1.0);      n[1] = -(4.0 * l - 1.0);     n += stride;
  n[0] = 4.0 * s;               n[1] = 4.0 * r;              n += stride;
  n[0] = -4.0 * s;              n[1] = 4.0 * l - 4.0 * s;    n += stride;
  n[0] = 4.0 * l - 4.0 * r;     n[1] = -4.0 * r;
  // clang-format on
  return 6;
}

// d2N/dr2, d2N/ds2, d2N/drds of the quadratic triangle: constants.
constexpr double kQuadraticSecond[6 * 3] = {
    4.0,  0.0,  0.0,   //
    0.0,  4.0,  0.0,   //
    4.0,  4.0,  4.0,   //
    0.0,  0.0,  4.0,   //
    0.0,  -8.0, -4.0,  //
    -8.0, 0.0,  -4.0,
};

}  // namespace

// SECTriangle3: N0 = r, N1 = s, N2 = 1 - r - s.

int SECTriangle3::ShapeFunctions(const Coord2& p, double* v) const { return Linear(p, v); }
int SECTriangle3::ShapeFunctions2D(const Coord2& p, double* v) const { return Linear(p, v); }
int SECTriangle3::CornerShapeFunctions(const Coord2& p, double* v) const { return Linear(p, v); }
int SECTriangle3::ShapeDerivatives(const Coord2&, double* d) const {
  return LinearDerivatives(d, 3);
}
int SECTriangle3::ShapeDerivatives2D(const Coord2&, double* d) const {
  return LinearDerivatives(d, 2);
}
int SECTriangle3::ShapeSecondDerivatives(const Coord2&, double* d) const {
  for (int i = 0; i < 3 * 3; ++i) d[i] = 0.0;
  return 3;
}
bool SECTriangle3::IsInside(const Coord2& p, double t) const { return InsideTriangle(p, t); }
bool SECTriangle3::IsInside2D(const Coord2& p, double t) const { return InsideTriangle(p, t); }
Coord3 SECTriangle3::ClampToElement(const Coord2& p) const {
  const Coord2 c = ClampToTriangle(p);
  return Coord3{c.r, c.s, 0.0};
}
Coord2 SECTriangle3::ClampToElement2D(const Coord2& p) const { return ClampToTriangle(p); }
void SECTriangle3::SurfaceQuadrature(Coord2* points, double* weights) const {
  TriangleQuadrature(points, weights);
}

// SECTriangle6, with L = 1 - r - s: N0 = r(2r - 1), N1 = s(2s - 1),
// N2 = L(2L - 1), N3 = 4rs, N4 = 4Ls, N5 = 4Lr.

int SECTriangle6::ShapeFunctions(const Coord2& p, double* v) const { return Quadratic(p, v); }
int SECTriangle6::ShapeFunctions2D(const Coord2& p, double* v) const { return Quadratic(p, v); }
int SECTriangle6::CornerShapeFunctions(const Coord2& p, double* v) const { return Linear(p, v); }
int SECTriangle6::ShapeDerivatives(const Coord2& p, double* d) const {
  return QuadraticDerivatives(p, d, 3);
}
int SECTriangle6::ShapeDerivatives2D(const Coord2& p, double* d) const {
  return QuadraticDerivatives(p, d, 2);
}
int SECTriangle6::ShapeSecondDerivatives(const Coord2&, double* d) const {
  for (int i = 0; i < 6 * 3; ++i) d[i] = kQuadraticSecond[i];
  return 6;
}
bool SECTriangle6::IsInside(const Coord2& p, double t) const { return InsideTriangle(p, t); }
bool SECTriangle6::IsInside2D(const Coord2& p, double t) const { return InsideTriangle(p, t); }
Coord3 SECTriangle6::ClampToElement(const Coord2& p) const {
  const Coord2 c = ClampToTriangle(p);
  return Coord3{c.r, c.s, 0.0};
}
Coord2 SECTriangle6::ClampToElement2D(const Coord2& p) const { return ClampToTriangle(p); }
// The 6-node triangle integrates with the 3-node rule, so that IntegrateScalar
// works; the area factor of a curved element is then integrated approximately.
void SECTriangle6::SurfaceQuadrature(Coord2* points, double* weights) const {
  TriangleQuadrature(points, weights);
}

MESHKIT_SURFACE_TOPOLOGY_OPERATIONS(SECTriangle3, surface_tables::kTriangle3Topology)
MESHKIT_SURFACE_TOPOLOGY_OPERATIONS(SECTriangle6, surface_tables::kTriangle6Topology)
MESHKIT_EXTRAPOLATIONS(SECTriangle3, 3, surface_tables::kTriangle3Matrices)
MESHKIT_EXTRAPOLATIONS(SECTriangle6, 6, surface_tables::kTriangle6Matrices)

}  // namespace Meshkit
