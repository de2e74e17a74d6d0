// Geometry written once in SurfElemClass: global position, interpolation,
// tangents and normal, area scale and the surface integral, for all four
// classes; and that these reach each class's own operations.
#include <gtest/gtest.h>

#include <cmath>

#include "surface_cases.h"

namespace {

using namespace surface_testing;
using Meshkit::Coord3;
using Meshkit::SurfaceFrame;

// An affine map of the natural plane into space: x = b + a1 r + a2 s.
struct Affine {
  double b[3], a1[3], a2[3];
  Coord3 operator()(const Coord2& p) const {
    return {b[0] + a1[0] * p.r + a2[0] * p.s, b[1] + a1[1] * p.r + a2[1] * p.s,
            b[2] + a1[2] * p.r + a2[2] * p.s};
  }
  double Scale() const {
    const double n[3] = {a1[1] * a2[2] - a1[2] * a2[1], a1[2] * a2[0] - a1[0] * a2[2],
                         a1[0] * a2[1] - a1[1] * a2[0]};
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  }
};

constexpr Affine kSkew = {{1.0, -2.0, 0.5}, {2.0, 0.5, 1.0}, {-0.3, 1.5, 0.7}};

std::vector<double> MappedNodes(const ElementCase& c, const Affine& map) {
  std::vector<double> xyz;
  for (const Coord2& p : c.positions) {
    const Coord3 x = map(p);
    xyz.insert(xyz.end(), {x.x, x.y, x.z});
  }
  return xyz;
}

double NaturalArea(const ElementCase& c) { return c.triangle ? 0.5 : 4.0; }

TEST(SurfaceGeometryTest, FlatElementAtNaturalPositionsIsTheIdentity) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const std::vector<double> xyz = FlatNodes(c);
    for (const Coord2& p : RandomPoints(c, 50, 31)) {
      const Coord3 x = c.element->MapToGlobal(p, xyz.data());
      EXPECT_NEAR(x.x, p.r, 1e-15);
      EXPECT_NEAR(x.y, p.s, 1e-15);
      EXPECT_EQ(x.z, 0.0);
      SurfaceFrame f;
      c.element->SurfaceTangents(xyz.data(), p, f);
      const double expected[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
      const double got[9] = {f.tangentR.x, f.tangentR.y, f.tangentR.z, f.tangentS.x, f.tangentS.y,
                             f.tangentS.z, f.normal.x,   f.normal.y,   f.normal.z};
      for (int i = 0; i < 9; ++i) EXPECT_NEAR(got[i], expected[i], 1e-14) << i;
      EXPECT_NEAR(c.element->AreaScale(xyz.data(), p), 1.0, 1e-14);
    }
  }
}

TEST(SurfaceGeometryTest, CurvedElementTangentsAndAreaScaleMatchDifferencesOfThePosition) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    std::vector<double> xyz = MappedNodes(c, kSkew);
    std::mt19937 gen(32);
    std::uniform_real_distribution<double> wobble(-0.2, 0.2);
    for (double& v : xyz) v += wobble(gen);
    const double h = 1e-6;
    for (const Coord2& p : RandomPoints(c, 50, 33)) {
      SurfaceFrame f;
      c.element->SurfaceTangents(xyz.data(), p, f);
      const Coord3 pr = c.element->MapToGlobal(Coord2{p.r + h, p.s}, xyz.data());
      const Coord3 mr = c.element->MapToGlobal(Coord2{p.r - h, p.s}, xyz.data());
      const Coord3 ps = c.element->MapToGlobal(Coord2{p.r, p.s + h}, xyz.data());
      const Coord3 ms = c.element->MapToGlobal(Coord2{p.r, p.s - h}, xyz.data());
      const Coord3 tr{(pr.x - mr.x) / (2 * h), (pr.y - mr.y) / (2 * h), (pr.z - mr.z) / (2 * h)};
      const Coord3 ts{(ps.x - ms.x) / (2 * h), (ps.y - ms.y) / (2 * h), (ps.z - ms.z) / (2 * h)};
      EXPECT_NEAR(f.tangentR.x, tr.x, 1e-8);
      EXPECT_NEAR(f.tangentR.y, tr.y, 1e-8);
      EXPECT_NEAR(f.tangentR.z, tr.z, 1e-8);
      EXPECT_NEAR(f.tangentS.x, ts.x, 1e-8);
      EXPECT_NEAR(f.tangentS.y, ts.y, 1e-8);
      EXPECT_NEAR(f.tangentS.z, ts.z, 1e-8);
      const Coord3 n{tr.y * ts.z - tr.z * ts.y, tr.z * ts.x - tr.x * ts.z,
                     tr.x * ts.y - tr.y * ts.x};
      EXPECT_NEAR(c.element->AreaScale(xyz.data(), p), std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z),
                  1e-7);
    }
  }
}

TEST(SurfaceGeometryTest, NormalPointsToWhereCornersZeroOneTwoTurnCounterClockwise) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const std::vector<double> xyz = FlatNodes(c);
    // Corners 0, 1, 2 of the flat element seen from +z.
    const double* x = xyz.data();
    const double turn =
        (x[3] - x[0]) * (x[7] - x[1]) - (x[4] - x[1]) * (x[6] - x[0]);  // z of (1-0) x (2-0)
    SurfaceFrame f;
    c.element->SurfaceTangents(x, c.element->CentrePoint(), f);
    EXPECT_GT(turn * f.normal.z, 0.0);
  }
}

TEST(SurfaceGeometryTest, InterpolationReproducesNodeValuesAndLinearFields) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    std::vector<double> field;
    for (const Coord2& p : c.positions) field.push_back(2.0 - 3.0 * p.r + 0.5 * p.s);
    for (int k = 0; k < c.nodes; ++k) {
      EXPECT_EQ(c.element->InterpolateScalar(c.positions[k], field.data()), field[k]);
    }
    for (const Coord2& p : RandomPoints(c, 50, 34)) {
      EXPECT_NEAR(c.element->InterpolateScalar(p, field.data()), 2.0 - 3.0 * p.r + 0.5 * p.s,
                  1e-14);
    }
  }
}

TEST(SurfaceGeometryTest, QuadratureIsTheStoredFourPointRuleForEveryClass) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    Coord2 points[4];
    double weights[4];
    c.element->SurfaceQuadrature(points, weights);
    const double g = 0.577350269189626;
    const Coord2 expected[4] = {
        c.triangle ? Coord2{0.333333333333333, 0.333333333333333} : Coord2{-g, -g},
        c.triangle ? Coord2{0.6, 0.2} : Coord2{g, -g},
        c.triangle ? Coord2{0.2, 0.6} : Coord2{-g, g},
        c.triangle ? Coord2{0.2, 0.2} : Coord2{g, g}};
    for (int q = 0; q < 4; ++q) {
      EXPECT_EQ(points[q].r, expected[q].r);
      EXPECT_EQ(points[q].s, expected[q].s);
      EXPECT_EQ(weights[q], c.triangle ? (q == 0 ? -0.28125 : 0.260416666666667) : 1.0);
    }
  }
}

TEST(SurfaceGeometryTest, IntegralsOfConstantAndLinearFieldsOnFlatAndAffineElements) {
  const double t3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 0};
  const double one[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_NEAR(Meshkit::kTriangle3.IntegrateScalar(t3, one), 0.5, 1e-14);
  const std::vector<double> square = FlatNodes(AllElements()[2]);
  EXPECT_NEAR(Meshkit::kQuadrilateral4.IntegrateScalar(square.data(), one), 4.0, 1e-14);

  const Affine identity = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (const Affine& map : {identity, kSkew}) {
    for (const ElementCase& c : AllElements()) {
      SCOPED_TRACE(c.name);
      const std::vector<double> xyz = MappedNodes(c, map);
      const double area = NaturalArea(c) * map.Scale();
      EXPECT_NEAR(c.element->IntegrateScalar(xyz.data(), one), area, 1e-12 * area);
      // A linear field integrates to the area times its value at the
      // natural domain's centroid.
      std::vector<double> field;
      for (const Coord2& p : c.positions) field.push_back(1.5 + 2.0 * p.r - 0.75 * p.s);
      const Coord2 centroid = c.triangle ? Coord2{1.0 / 3, 1.0 / 3} : Coord2{0, 0};
      EXPECT_NEAR(c.element->IntegrateScalar(xyz.data(), field.data()),
                  area * (1.5 + 2.0 * centroid.r - 0.75 * centroid.s), 1e-12 * area);
    }
  }
}

// A class of a caller's own that stretches the natural derivatives by 2 and
// moves the mapped position: the base operations must see both.
class Stretched : public Meshkit::SECQuadrilateral4 {
 public:
  int ShapeDerivatives2D(const Coord2& p, double* d) const override {
    const int n = SECQuadrilateral4::ShapeDerivatives2D(p, d);
    for (int i = 0; i < 2 * n; ++i) d[i] *= 2.0;
    return n;
  }
  int ShapeFunctions2D(const Coord2& p, double* v) const override {
    const int n = SECQuadrilateral4::ShapeFunctions2D(p, v);
    for (int i = 0; i < n; ++i) v[i] *= 3.0;
    return n;
  }
};

TEST(SurfaceGeometryTest, BaseOperationsReachTheClassesOwnOperations) {
  const Stretched stretched;
  const SurfElemClass& e = stretched;
  const std::vector<double> xyz = FlatNodes(AllElements()[2]);
  const double one[4] = {1, 1, 1, 1};
  const Coord3 x = e.MapToGlobal(Coord2{0.5, 0.25}, xyz.data());
  EXPECT_NEAR(x.x, 1.5, 1e-15);
  EXPECT_NEAR(x.y, 0.75, 1e-15);
  EXPECT_NEAR(e.InterpolateScalar(Coord2{0.1, 0.2}, one), 3.0, 1e-15);
  EXPECT_NEAR(e.AreaScale(xyz.data(), Coord2{0.1, 0.2}), 4.0, 1e-14);
  EXPECT_NEAR(e.IntegrateScalar(xyz.data(), one), 4.0 * 4.0 * 3.0, 1e-13);
}

}  // namespace
