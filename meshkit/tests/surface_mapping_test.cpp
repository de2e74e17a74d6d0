// Element geometry of the surface family on tilted, distorted and curved
// elements: surface gradients of linear fields, the Jacobian's area scale,
// and the inverse mapping (the nearest natural point), with its failures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <meshkit/meshkit.h>

#include "surface_cases.h"

namespace {

using Meshkit::Coord2;
using Meshkit::Coord3;
using surface_testing::ElementCase;

double Dot(const Coord3& a, const Coord3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The flat element at its natural positions, moved in its plane by up to
// `amount` per node, lifted out of the plane by `lift` at the midside nodes
// (a curved element) and then tilted into space.
std::vector<double> Nodes(const ElementCase& c, double amount, double lift, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-amount, amount);
  std::vector<double> xyz;
  for (int k = 0; k < c.nodes; ++k) {
    const double r = c.positions[k].r + u(rng), s = c.positions[k].s + u(rng);
    const double h = k >= c.corners ? lift : 0.0;
    xyz.insert(xyz.end(), {1 + 0.8 * r + 0.3 * h, 2 + 0.6 * r + 0.9 * s - 0.4 * h,
                           -1 + 0.2 * r - 0.5 * s + 0.9 * h});
  }
  return xyz;
}

class SurfaceMapping : public testing::TestWithParam<ElementCase> {};

TEST_P(SurfaceMapping, LinearFieldGradientIsItsTangentialPart) {
  const ElementCase& c = GetParam();
  const std::vector<double> xyz = Nodes(c, 0.1, c.nodes > c.corners ? 0.2 : 0.0, 3);
  const Coord3 a = {0.7, -1.3, 2.1};
  std::vector<double> field(c.nodes);
  for (int k = 0; k < c.nodes; ++k) {
    field[k] = 4 + a.x * xyz[3 * k] + a.y * xyz[3 * k + 1] + a.z * xyz[3 * k + 2];
  }
  for (const Coord2& p : surface_testing::RandomPoints(c, 40, 9)) {
    double g[24];
    const double area = Meshkit::GlobalDerivatives(*c.element, xyz.data(), p, g);
    EXPECT_NEAR(area, c.element->AreaScale(xyz.data(), p), 1e-15);
    ASSERT_GT(area, 0);
    Meshkit::SurfaceFrame frame;
    EXPECT_EQ(Meshkit::Jacobian(*c.element, xyz.data(), p, frame), area);
    const Coord3 n = {frame.normal.x / area, frame.normal.y / area, frame.normal.z / area};
    const double an = Dot(a, n);
    const Coord3 tangential = {a.x - an * n.x, a.y - an * n.y, a.z - an * n.z};
    Coord3 grad = {0, 0, 0};
    for (int k = 0; k < c.nodes; ++k) {
      grad.x += g[3 * k] * field[k], grad.y += g[3 * k + 1] * field[k];
      grad.z += g[3 * k + 2] * field[k];
    }
    EXPECT_NEAR(grad.x, tangential.x, 1e-12 * 2.1);
    EXPECT_NEAR(grad.y, tangential.y, 1e-12 * 2.1);
    EXPECT_NEAR(grad.z, tangential.z, 1e-12 * 2.1);
    EXPECT_NEAR(Dot(grad, n), 0, 1e-12 * 2.1);
  }
}

TEST_P(SurfaceMapping, InverseMappingFindsTheNaturalPointOnAndOffTheSurface) {
  const ElementCase& c = GetParam();
  const std::vector<double> xyz = Nodes(c, 0.08, c.nodes > c.corners ? 0.1 : 0.0, 5);
  int worst = 0;
  for (const Coord2& p : surface_testing::RandomPoints(c, 100, 2)) {
    for (double off : {0.0, 0.05, -0.03}) {
      Meshkit::SurfaceFrame frame;
      const double area = Meshkit::Jacobian(*c.element, xyz.data(), p, frame);
      Coord3 x = c.element->MapToGlobal(p, xyz.data());
      x = {x.x + off * frame.normal.x / area, x.y + off * frame.normal.y / area,
           x.z + off * frame.normal.z / area};
      const Meshkit::NaturalPoint hit = Meshkit::MapToNatural(*c.element, xyz.data(), x);
      ASSERT_TRUE(hit.converged);
      EXPECT_NEAR(hit.point.x, p.r, 1e-12);
      EXPECT_NEAR(hit.point.y, p.s, 1e-12);
      EXPECT_EQ(hit.point.z, 0);
      EXPECT_NEAR(hit.distance, std::fabs(off), 1e-12);
      EXPECT_GT(hit.determinant, 0);
      worst = std::max(worst, hit.iterations);
    }
  }
  EXPECT_LE(worst, 8);
}

TEST_P(SurfaceMapping, DegenerateAndNonFiniteInputReportFailure) {
  const ElementCase& c = GetParam();
  const std::vector<double> point(3 * c.nodes, 2.0);
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, point.data(), {0, 0, 0}).converged);
  double g[25];
  for (double& v : g) v = 5;
  EXPECT_EQ(Meshkit::GlobalDerivatives(*c.element, point.data(), {0.2, 0.2}, g), 0);
  for (int k = 0; k < 3 * c.nodes; ++k) EXPECT_EQ(g[k], 0);
  EXPECT_EQ(g[3 * c.nodes], 5) << "wrote beyond the node count";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xyz = Nodes(c, 0.05, 0, 1);
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), {nan, 1, 1}).converged);
  xyz[2] = nan;
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), {1, 1, 1}).converged);
}

INSTANTIATE_TEST_SUITE_P(AllClasses, SurfaceMapping,
                         testing::ValuesIn(surface_testing::AllElements()),
                         [](const testing::TestParamInfo<ElementCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(SurfaceMapping, CallersOwnClassIsRefused) {
  // The operations size their buffers by the library's classes: a class of
  // the caller's, whatever its node count, gets failures, not overruns.
  struct Own : Meshkit::SECQuadrilateral8 {};
  const Own own;
  const std::vector<double> xyz(24, 1.0);
  double g[24];
  EXPECT_TRUE(std::isnan(Meshkit::GlobalDerivatives(own, xyz.data(), {0, 0}, g)));
  EXPECT_TRUE(std::isnan(Meshkit::JacobianDeterminant(own, xyz.data(), {0, 0})));
  EXPECT_FALSE(Meshkit::MapToNatural(own, xyz.data(), {0, 0, 0}).converged);
}

}  // namespace
