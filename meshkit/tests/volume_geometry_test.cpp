// Element geometry of the volume family, patch tests on distorted elements
// of every class: physical gradients of linear (all classes) and quadratic
// (quadratic classes, affine elements) fields, volumes and integrals under
// affine maps, the inverse mapping over the whole domain, and the failures
// it reports for folded, degenerate and non-finite input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <meshkit/meshkit.h>

#include "volume_cases.h"

namespace {

using Meshkit::Coord3;
using volume_test::Case;
using volume_test::Domain;

// The element at its natural node positions, with the pyramids' collapsed
// face at its apex: corners from the class's table, each midside node midway
// between its parent corners (for every class but ECPyramid13 that is the
// table's position too).
std::vector<Coord3> ReferenceNodes(const Case& c) {
  std::vector<Coord3> x(c.nodeCoords, c.nodeCoords + c.nodes);
  for (int i = c.corners; i < c.nodes; ++i) {
    int a, b;
    c.element->ParentCorners(i, a, b);
    x[i] = {(x[a].x + x[b].x) / 2, (x[a].y + x[b].y) / 2, (x[a].z + x[b].z) / 2};
  }
  return x;
}

// The reference element's volume and centroid.
double ReferenceVolume(Domain d) {
  switch (d) {
    case Domain::kTetrahedron:
      return 1.0 / 6;
    case Domain::kPyramidCube:
      return 8.0 / 3;
    case Domain::kWedge01:
      return 0.5;
    case Domain::kWedge11:
    case Domain::kUnitCube:
      return 1;
    case Domain::kCube:
      return 8;
  }
  return 0;
}

struct Affine {
  double a[3][3];
  Coord3 b;
  Coord3 operator()(const Coord3& p) const {
    return {a[0][0] * p.x + a[0][1] * p.y + a[0][2] * p.z + b.x,
            a[1][0] * p.x + a[1][1] * p.y + a[1][2] * p.z + b.y,
            a[2][0] * p.x + a[2][1] * p.y + a[2][2] * p.z + b.z};
  }
  double Determinant() const {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  }
};

// A sheared, stretched and moved map with determinant 1.3.
const Affine kAffine = {{{1.2, 0.3, -0.2}, {0.1, 0.9, 0.25}, {-0.15, 0.2, 1.1}}, {3, -2, 5}};

std::vector<double> Flatten(const std::vector<Coord3>& x) {
  std::vector<double> out;
  for (const Coord3& p : x) out.insert(out.end(), {p.x, p.y, p.z});
  return out;
}

std::vector<double> AffineNodes(const Case& c, const Affine& map) {
  std::vector<Coord3> x = ReferenceNodes(c);
  for (Coord3& p : x) p = map(p);
  return Flatten(x);
}

// The affine element with every node moved at random by up to `amount`
// (reference units) in each coordinate: curved edges and faces for the
// quadratic classes.
std::vector<double> DistortedNodes(const Case& c, double amount, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-amount, amount);
  std::vector<Coord3> x = ReferenceNodes(c);
  for (Coord3& p : x) p = kAffine({p.x + u(rng), p.y + u(rng), p.z + u(rng)});
  return Flatten(x);
}

// Natural points over the domain: random ones and the domain's vertices
// and edge midpoints (the nodes). The pyramids' points keep clear of the
// collapsed face, where the map is singular and the natural point of the
// apex not unique: the collapsed coordinate stays 0.2 off it.
std::vector<Coord3> DomainPoints(const Case& c, int count, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<Coord3> points;
  points.reserve(count + c.nodes);
  for (int i = 0; i < count; ++i) {
    points.push_back(volume_test::DomainPoint(c.domain, u(rng), u(rng), u(rng)));
  }
  points.insert(points.end(), c.nodeCoords, c.nodeCoords + c.nodes);
  if (c.domain == Domain::kPyramidCube) {
    const bool alongX = c.element == &Meshkit::kPyramid5;
    for (Coord3& p : points) {
      if (alongX) p.x = std::fmax(p.x, -0.8);
      if (!alongX) p.y = std::fmin(p.y, 0.8);
    }
  }
  return points;
}

class VolumeGeometry : public testing::TestWithParam<Case> {};

TEST_P(VolumeGeometry, LinearFieldGradientIsExactOnDistortedElements) {
  const Case& c = GetParam();
  const std::vector<double> xyz = DistortedNodes(c, 0.08, 7);
  const Coord3 a = {0.7, -1.3, 2.1};
  std::vector<double> field(c.nodes);
  for (int i = 0; i < c.nodes; ++i) {
    field[i] = 4 + a.x * xyz[3 * i] + a.y * xyz[3 * i + 1] + a.z * xyz[3 * i + 2];
  }
  for (const Coord3& p : DomainPoints(c, 50, 3)) {
    double g[61];
    const double det = Meshkit::GlobalDerivatives(*c.element, xyz.data(), p, g);
    ASSERT_GT(det, 0);
    Coord3 grad = {0, 0, 0};
    for (int i = 0; i < c.nodes; ++i) {
      grad.x += g[3 * i] * field[i], grad.y += g[3 * i + 1] * field[i];
      grad.z += g[3 * i + 2] * field[i];
    }
    const double scale = 2.1;
    EXPECT_NEAR(grad.x, a.x, 1e-12 * scale);
    EXPECT_NEAR(grad.y, a.y, 1e-12 * scale);
    EXPECT_NEAR(grad.z, a.z, 1e-12 * scale);
  }
}

TEST_P(VolumeGeometry, QuadraticFieldGradientIsExactOnAffineQuadraticElements) {
  const Case& c = GetParam();
  // ECPyramid13's collapsed brick spans no complete quadratic: left out.
  if (c.nodes == c.corners || c.element == &Meshkit::kPyramid13) GTEST_SKIP();
  const std::vector<double> xyz = AffineNodes(c, kAffine);
  auto f = [](double x, double y, double z) {
    return 1 + x - 2 * y + 0.5 * z + 0.3 * x * x - 0.7 * y * y + 0.2 * z * z + 0.9 * x * y -
           0.4 * y * z + 0.6 * z * x;
  };
  std::vector<double> field(c.nodes);
  for (int i = 0; i < c.nodes; ++i) field[i] = f(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
  for (const Coord3& p : DomainPoints(c, 50, 4)) {
    double g[61];
    ASSERT_GT(Meshkit::GlobalDerivatives(*c.element, xyz.data(), p, g), 0);
    const Coord3 x = Meshkit::MapToGlobal(*c.element, xyz.data(), p);
    const Coord3 exact = {1 + 0.6 * x.x + 0.9 * x.y + 0.6 * x.z,
                          -2 - 1.4 * x.y + 0.9 * x.x - 0.4 * x.z,
                          0.5 + 0.4 * x.z - 0.4 * x.y + 0.6 * x.x};
    Coord3 grad = {0, 0, 0};
    for (int i = 0; i < c.nodes; ++i) {
      grad.x += g[3 * i] * field[i], grad.y += g[3 * i + 1] * field[i];
      grad.z += g[3 * i + 2] * field[i];
    }
    const double scale = 1e-12 * 10;
    EXPECT_NEAR(grad.x, exact.x, scale);
    EXPECT_NEAR(grad.y, exact.y, scale);
    EXPECT_NEAR(grad.z, exact.z, scale);
  }
}

TEST_P(VolumeGeometry, AffineVolumeIsTheDeterminantTimesTheReferenceVolume) {
  const Case& c = GetParam();
  const std::vector<double> reference = Flatten(ReferenceNodes(c));
  const double v0 = ReferenceVolume(c.domain);
  EXPECT_NEAR(Meshkit::Volume(*c.element, reference.data()), v0, 1e-14 * v0);
  const std::vector<double> mapped = AffineNodes(c, kAffine);
  EXPECT_NEAR(Meshkit::Volume(*c.element, mapped.data()), kAffine.Determinant() * v0, 1e-13 * v0);
  // Its Jacobian is the map's matrix everywhere (the reference nodes being
  // the natural ones; the pyramids' collapsed map is not affine).
  for (const Coord3& p : DomainPoints(c, 5, 9)) {
    Meshkit::Matrix3 j;
    const double det = Meshkit::Jacobian(*c.element, mapped.data(), p, j);
    if (c.domain == Domain::kPyramidCube) continue;
    EXPECT_NEAR(det, kAffine.Determinant(), 1e-13);
    for (int r = 0; r < 3; ++r) {
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(j.m[r][k], kAffine.a[r][k], 1e-14);
    }
  }
}

TEST_P(VolumeGeometry, IntegralOfALinearFieldIsItsCentroidValueTimesTheVolume) {
  const Case& c = GetParam();
  const std::vector<double> xyz = AffineNodes(c, kAffine);
  // Centroids of the reference elements.
  Coord3 centroid = {0.25, 0.25, 0.25};
  if (c.domain == Domain::kWedge01) centroid = {1.0 / 3, 1.0 / 3, 0.5};
  if (c.domain == Domain::kWedge11) centroid = {1.0 / 3, 1.0 / 3, 0};
  if (c.domain == Domain::kUnitCube) centroid = {0.5, 0.5, 0.5};
  if (c.domain == Domain::kCube) centroid = {0, 0, 0};
  if (c.element == &Meshkit::kPyramid5) centroid = {0.5, 0, 0};
  if (c.element == &Meshkit::kPyramid13) centroid = {0, -0.5, 0};
  const Coord3 x = kAffine(centroid);
  std::vector<double> field(c.nodes);
  for (int i = 0; i < c.nodes; ++i) field[i] = 2 + xyz[3 * i] - 3 * xyz[3 * i + 2];
  const double volume = Meshkit::Volume(*c.element, xyz.data());
  EXPECT_NEAR(Meshkit::IntegrateField(*c.element, xyz.data(), field.data()),
              (2 + x.x - 3 * x.z) * volume, 1e-12 * std::fabs(volume) * 15);
}

TEST_P(VolumeGeometry, InverseMappingReturnsTheNaturalPointOverTheDomain) {
  const Case& c = GetParam();
  const std::vector<double> xyz = DistortedNodes(c, 0.08, 11);
  int worst = 0;
  for (const Coord3& p : DomainPoints(c, 200, 5)) {
    const Coord3 x = Meshkit::MapToGlobal(*c.element, xyz.data(), p);
    const Meshkit::NaturalPoint hit = Meshkit::MapToNatural(*c.element, xyz.data(), x);
    ASSERT_TRUE(hit.converged) << p.x << " " << p.y << " " << p.z;
    EXPECT_NEAR(hit.point.x, p.x, 1e-12);
    EXPECT_NEAR(hit.point.y, p.y, 1e-12);
    EXPECT_NEAR(hit.point.z, p.z, 1e-12);
    EXPECT_GT(hit.determinant, 0);
    EXPECT_LT(hit.distance, 1e-12 * 10);
    EXPECT_TRUE(c.element->IsInside(hit.point, 1e-9));
    worst = std::max(worst, hit.iterations);
  }
  EXPECT_LE(worst, 6);
}

TEST_P(VolumeGeometry, MirroredElementConvergesWithANegativeDeterminant) {
  const Case& c = GetParam();
  std::vector<double> xyz = DistortedNodes(c, 0.05, 13);
  for (size_t i = 0; i < xyz.size(); i += 3) xyz[i] = -xyz[i];
  EXPECT_LT(Meshkit::Volume(*c.element, xyz.data()), 0);
  const Coord3 p = DomainPoints(c, 1, 2)[0];
  const Meshkit::NaturalPoint hit = Meshkit::MapToNatural(
      *c.element, xyz.data(), Meshkit::MapToGlobal(*c.element, xyz.data(), p));
  ASSERT_TRUE(hit.converged);
  EXPECT_LT(hit.determinant, 0);
  EXPECT_NEAR(hit.point.x, p.x, 1e-12);
}

TEST_P(VolumeGeometry, DegenerateAndNonFiniteInputReportFailure) {
  const Case& c = GetParam();
  const Coord3 target = {0.1, 0.2, 0.3};
  // Every node at one point: a singular Jacobian.
  const std::vector<double> flat(3 * c.nodes, 1.0);
  Meshkit::NaturalPoint hit = Meshkit::MapToNatural(*c.element, flat.data(), target);
  EXPECT_FALSE(hit.converged);
  double g[61];
  for (double& v : g) v = 5;
  EXPECT_EQ(Meshkit::GlobalDerivatives(*c.element, flat.data(), c.element->CentrePoint(), g), 0);
  for (int k = 0; k < 3 * c.nodes; ++k) EXPECT_EQ(g[k], 0);
  EXPECT_EQ(g[3 * c.nodes], 5) << "wrote beyond the node count";

  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xyz = DistortedNodes(c, 0.05, 1);
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), {nan, 0, 0}).converged);
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), {1e308, -1e308, 1e308}).converged);
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), target, nan).converged);
  // An infinite tolerance accepts any step, but not an image beyond range.
  const double huge = 1e300;
  hit = Meshkit::MapToNatural(*c.element, xyz.data(), {huge, -huge, huge},
                              std::numeric_limits<double>::infinity());
  EXPECT_TRUE(!hit.converged || std::isfinite(hit.distance));
  hit = Meshkit::MapToNatural(*c.element, xyz.data(), target, 1e-12, 0);
  EXPECT_FALSE(hit.converged);
  EXPECT_EQ(hit.iterations, 0);
  xyz[4] = nan;
  EXPECT_FALSE(Meshkit::MapToNatural(*c.element, xyz.data(), target).converged);
  EXPECT_TRUE(std::isnan(Meshkit::GlobalDerivatives(*c.element, xyz.data(), target, g)));
}

INSTANTIATE_TEST_SUITE_P(AllClasses, VolumeGeometry, testing::ValuesIn(volume_test::kCases),
                         volume_test::CaseName);

TEST(VolumeGeometry, FoldedBrickReportsFailureOrANegativeDeterminant) {
  // Corner 7 of the unit brick pushed through the element, past its centre:
  // the element is inverted about that corner.
  std::vector<double> xyz;
  for (const Coord3& p : Meshkit::tables::kBrick8Nodes) xyz.insert(xyz.end(), {p.x, p.y, p.z});
  xyz[21] = xyz[22] = xyz[23] = 0.3;
  EXPECT_LT(Meshkit::JacobianDeterminant(Meshkit::kBrick8, xyz.data(), {1, 1, 1}), 0);
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> u(0.6, 1);
  int inverted = 0;
  for (int i = 0; i < 200; ++i) {
    const Coord3 p = {u(rng), u(rng), u(rng)};
    if (Meshkit::JacobianDeterminant(Meshkit::kBrick8, xyz.data(), p) >= 0) continue;
    ++inverted;
    const Coord3 x = Meshkit::MapToGlobal(Meshkit::kBrick8, xyz.data(), p);
    const Meshkit::NaturalPoint hit = Meshkit::MapToNatural(Meshkit::kBrick8, xyz.data(), x);
    // The folded map has several natural points for one global point: one
    // found in the non-inverted part of the domain is no failure, any other
    // result either failed or carries its negative determinant.
    if (!hit.converged) continue;
    EXPECT_LT(hit.distance, 1e-10);
    const bool elsewhere =
        std::fabs(hit.point.x - p.x) + std::fabs(hit.point.y - p.y) + std::fabs(hit.point.z - p.z) >
        1e-6;
    EXPECT_TRUE(hit.determinant < 0 || elsewhere);
  }
  EXPECT_GT(inverted, 0);
}

}  // namespace
