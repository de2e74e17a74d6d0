// The two quadrilateral classes on the square [-1, 1]^2 (the linear one
// included): SECQuadrilateral4 (bilinear) and SECQuadrilateral8 (quadratic
// serendipity). Shape functions and derivatives stand side by side, one
// written-out line per node; the inside test, the clamp and the quadrature
// are shared by both classes; the topology and the extrapolations are read
// from the classes' tables by the shared macros.
#include "surface_extrapolation_tables.h"
#include "surface_members.h"

namespace Meshkit {
namespace {

using namespace surface_tables;

// -1 - t <= r, s <= 1 + t, bounds inclusive.
bool InsideSquare(const Coord2& p, double t) {
  return -1.0 - t <= p.r && p.r <= 1.0 + t && -1.0 - t <= p.s && p.s <= 1.0 + t;
}

double ClampSymmetric(double v) { return v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v); }

Coord2 ClampToSquare(const Coord2& p) { return Coord2{ClampSymmetric(p.r), ClampSymmetric(p.s)}; }

void QuadrilateralQuadrature(Coord2* points, double* weights) {
  for (int q = 0; q < 4; ++q) {
    points[q] = kQuadrilateralQuadraturePoints[q];
    weights[q] = kQuadrilateralQuadratureWeights[q];
  }
}

int Bilinear(const Coord2& p, double* n) {
  const double r = p.r, s = p.s;
  n[0] = 0.25 * (1.0 - r) * (1.0 - s);
  n[1] = 0.25 * (1.0 + r) * (1.0 - s);
  n[2] = 0.25 * (1.0 + r) * (1.0 + s);
  n[3] = 0.25 * (1.0 - r) * (1.0 + s);
  return 4;
}

// dN/dr and dN/ds into `stride` doubles per node (2 or 3); a third double is
// not written.
int BilinearDerivatives(const Coord2& p, double* d, int stride) {
  const double r = p.r, s = p.s;
  double* n = d;
  // clang-format off
  n[0] = -0.25 * (1.0 - s);   n[1] = -0.25 * (1.0 - r);   n += stride;
  n[0] =  0.25 * (1.0 - s);   n[1] = -0.25 * (1.0 + r);   n += stride;
  n[0] =  0.25 * (1.0 + s);   n[1] =  0.25 * (1.0 + r);   n += stride;
  n[0] = -0.25 * (1.0 + s);   n[1] =  0.25 * (1.0 - r);
  // clang-format on
  return 4;
}

// d2N/dr2, d2N/ds2, d2N/drds of the bilinear square: only the mixed
// derivative is non-zero, and it is constant.
constexpr double kBilinearSecond[4 * 3] = {
    0.0, 0.0, 0.25,   //
    0.0, 0.0, -0.25,  //
    0.0, 0.0, 0.25,   //
    0.0, 0.0, -0.25,
};

// Corner functions 1/4 (1 + r rk)(1 + s sk)(r rk + s sk - 1) in their expanded
// form 1/4 (r^2 + s^2 - 1 + rk sk rs + sk r^2 s + rk r s^2); midside functions
// 1/2 (1 - r^2)(1 -+ s) and 1/2 (1 +- r)(1 - s^2).
int Serendipity(const Coord2& p, double* n) {
  const double r = p.r, s = p.s;
  const double r2 = r * r, s2 = s * s, rs = r * s, r2s = r2 * s, rs2 = r * s2;
  n[0] = 0.25 * (r2 + s2 - 1.0 + rs - r2s - rs2);
  n[1] = 0.25 * (r2 + s2 - 1.0 - rs - r2s + rs2);
  n[2] = 0.25 * (r2 + s2 - 1.0 + rs + r2s + rs2);
  n[3] = 0.25 * (r2 + s2 - 1.0 - rs + r2s - rs2);
  n[4] = 0.5 * (1.0 - r2) * (1.0 - s);
  n[5] = 0.5 * (1.0 + r) * (1.0 - s2);
  n[6] = 0.5 * (1.0 - r2) * (1.0 + s);
  n[7] = 0.5 * (1.0 - r) * (1.0 - s2);
  return 8;
}

// Corner k: dN/dr = rk/4 (1 + s sk)(2 r rk + s sk),
//           dN/ds = sk/4 (1 + r rk)(2 s sk + r rk).
int SerendipityDerivatives(const Coord2& p, double* d, int stride) {
  const double r = p.r, s = p.s;
  double* n = d;
  // clang-format off
  n[0] = 0.25 * (1.0 - s) * (2.0 * r + s);   n[1] = 0.25 * (1.0 - r) * (2.0 * s + r);   n += stride;
  n[0] = 0.25 * (1.0 - s) * (2.0 * r - s);   n[1] = 0.25 * (1.0 + r) * (2.0 * s - r);   n += stride;
  n[0] = 0.25 * (1.0 + s) * (2.0 * r + s);   n[1] = 0.25 * (1.0 + r) * (2.0 * s + r);   n += stride;
  n[0] = 0.25 * (1.0 + s) * (2.0 * r - s);   n[1] = 0.25 * (1.0 - r) * (2.0 * s - r);   n += stride;
  n[0] = -r * (1.0 - s);                     n[1] = -0.5 * (1.0 - r * r);               n += stride;
  n[0] = 0.5 * (1.0 - s * s);                n[1] = -(1.0 + r) * s;                     n += stride;
  n[0] = -r * (1.0 + s);                     n[1] = 0.5 * (1.0 - r * r);                n += stride;
  n[0] = -0.5 * (1.0 - s * s);               n[1] = -(1.0 - r) * s;
  // clang-format on
  return 8;
}

void Set3(double* n, double a, double b, double c) {
  n[0] = a;
  n[1] = b;
  n[2] = c;
}

// Corner k: d2N/dr2 = 1/2 (1 + s sk), d2N/ds2 = 1/2 (1 + r rk),
//           d2N/drds = rk sk / 4 (1 + 2 r rk + 2 s sk).
int SerendipitySecondDerivatives(const Coord2& p, double* d) {
  const double r = p.r, s = p.s;
  // clang-format off
  Set3(d + 0,  0.5 * (1.0 - s), 0.5 * (1.0 - r), 0.25 * (1.0 - 2.0 * r - 2.0 * s));
  Set3(d + 3,  0.5 * (1.0 - s), 0.5 * (1.0 + r), 0.25 * (-1.0 - 2.0 * r + 2.0 * s));
  Set3(d + 6,  0.5 * (1.0 + s), 0.5 * (1.0 + r), 0.25 * (1.0 + 2.0 * r + 2.0 * s));
  Set3(d + 9,  0.5 * (1.0 + s), 0.5 * (1.0 - r), 0.25 * (-1.0 + 2.0 * r - 2.0 * s));
  Set3(d + 12, -(1.0 - s),      0.0,             r);
  Set3(d + 15, 0.0,             -(1.0 + r),      -s);
  Set3(d + 18, -(1.0 + s),      0.0,             -r);
  Set3(d + 21, 0.0,             -(1.0 - r),      s);
  // clang-format on
  return 8;
}

}  // namespace

// SECQuadrilateral4: N0 = 1/4 (1 - r)(1 - s), N1 = 1/4 (1 + r)(1 - s),
// N2 = 1/4 (1 + r)(1 + s), N3 = 1/4 (1 - r)(1 + s).

int SECQuadrilateral4::ShapeFunctions(const Coord2& p, double* v) const { return Bilinear(p, v); }
int SECQuadrilateral4::ShapeFunctions2D(const Coord2& p, double* v) const { return Bilinear(p, v); }
int SECQuadrilateral4::CornerShapeFunctions(const Coord2& p, double* v) const {
  return Bilinear(p, v);
}
int SECQuadrilateral4::ShapeDerivatives(const Coord2& p, double* d) const {
  return BilinearDerivatives(p, d, 3);
}
int SECQuadrilateral4::ShapeDerivatives2D(const Coord2& p, double* d) const {
  return BilinearDerivatives(p, d, 2);
}
int SECQuadrilateral4::ShapeSecondDerivatives(const Coord2&, double* d) const {
  for (int i = 0; i < 4 * 3; ++i) d[i] = kBilinearSecond[i];
  return 4;
}
bool SECQuadrilateral4::IsInside(const Coord2& p, double t) const { return InsideSquare(p, t); }
bool SECQuadrilateral4::IsInside2D(const Coord2& p, double t) const { return InsideSquare(p, t); }
Coord3 SECQuadrilateral4::ClampToElement(const Coord2& p) const {
  const Coord2 c = ClampToSquare(p);
  return Coord3{c.r, c.s, 0.0};
}
Coord2 SECQuadrilateral4::ClampToElement2D(const Coord2& p) const { return ClampToSquare(p); }
void SECQuadrilateral4::SurfaceQuadrature(Coord2* points, double* weights) const {
  QuadrilateralQuadrature(points, weights);
}

// SECQuadrilateral8: the serendipity functions above.

int SECQuadrilateral8::ShapeFunctions(const Coord2& p, double* v) const {
  return Serendipity(p, v);
}
int SECQuadrilateral8::ShapeFunctions2D(const Coord2& p, double* v) const {
  return Serendipity(p, v);
}
int SECQuadrilateral8::CornerShapeFunctions(const Coord2& p, double* v) const {
  return Bilinear(p, v);
}
int SECQuadrilateral8::ShapeDerivatives(const Coord2& p, double* d) const {
  return SerendipityDerivatives(p, d, 3);
}
int SECQuadrilateral8::ShapeDerivatives2D(const Coord2& p, double* d) const {
  return SerendipityDerivatives(p, d, 2);
}
int SECQuadrilateral8::ShapeSecondDerivatives(const Coord2& p, double* d) const {
  return SerendipitySecondDerivatives(p, d);
}
bool SECQuadrilateral8::IsInside(const Coord2& p, double t) const { return InsideSquare(p, t); }
bool SECQuadrilateral8::IsInside2D(const Coord2& p, double t) const { return InsideSquare(p, t); }
Coord3 SECQuadrilateral8::ClampToElement(const Coord2& p) const {
  const Coord2 c = ClampToSquare(p);
  return Coord3{c.r, c.s, 0.0};
}
Coord2 SECQuadrilateral8::ClampToElement2D(const Coord2& p) const { return ClampToSquare(p); }
// The 8-node quadrilateral integrates with the 2-by-2 rule of the 4-node one,
// so that IntegrateScalar works; the area factor of a curved element is then
// integrated approximately.
void SECQuadrilateral8::SurfaceQuadrature(Coord2* points, double* weights) const {
  QuadrilateralQuadrature(points, weights);
}

MESHKIT_SURFACE_TOPOLOGY_OPERATIONS(SECQuadrilateral4, surface_tables::kQuadrilateral4Topology)
MESHKIT_SURFACE_TOPOLOGY_OPERATIONS(SECQuadrilateral8, surface_tables::kQuadrilateral8Topology)
MESHKIT_EXTRAPOLATIONS(SECQuadrilateral4, 4, surface_tables::kQuadrilateral4Matrices)
MESHKIT_EXTRAPOLATIONS(SECQuadrilateral8, 8, surface_tables::kQuadrilateral8Matrices)

}  // namespace Meshkit
