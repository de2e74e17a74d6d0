// Shape functions and derivatives of the volume classes, table-driven across
// all eight instances.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "volume_cases.h"

namespace {

using Meshkit::Coord3;
using volume_test::Case;

class VolumeShape : public testing::TestWithParam<Case> {};

TEST(VolumeInstances, ExistWithoutSetUpAndReportTheirNodeAndFaceCountsInClassOrder) {
  const int nodes[] = {4, 10, 5, 13, 6, 15, 8, 20};
  const int faces[] = {4, 4, 5, 5, 5, 5, 6, 6};
  double values[20], derivatives[60];
  int k = 0;
  for (const Case& c : volume_test::kCases) {
    EXPECT_EQ(c.element->ShapeFunctions({0.1, 0.2, 0.3}, values), nodes[k]) << c.name;
    EXPECT_EQ(c.element->ShapeDerivatives({0.1, 0.2, 0.3}, derivatives), nodes[k]) << c.name;
    EXPECT_EQ(c.element->FaceCount(), faces[k]) << c.name;
    ++k;
  }
}

TEST_P(VolumeShape, IsTheUnitVectorAtEveryNode) {
  const Case& c = GetParam();
  double n[20];
  for (int i = 0; i < c.nodes; ++i) {
    ASSERT_EQ(c.element->ShapeFunctions(c.nodeCoords[i], n), c.nodes);
    for (int j = 0; j < c.nodes; ++j) {
      EXPECT_NEAR(n[j], i == j ? 1.0 : 0.0, 1e-14) << "node " << i << ", function " << j;
    }
  }
}

TEST_P(VolumeShape, SumsToOneEverywhereAlsoOutsideTheDomain) {
  const Case& c = GetParam();
  std::mt19937_64 rng(7);
  double n[20];
  for (int trial = 0; trial < 2000; ++trial) {
    const Coord3 p = volume_test::AnyPoint(rng);
    c.element->ShapeFunctions(p, n);
    double sum = 0;
    for (int i = 0; i < c.nodes; ++i) sum += n[i];
    EXPECT_NEAR(sum, 1.0, 1e-12) << p.x << " " << p.y << " " << p.z;
  }
}

// Central differences with h = 1e-5 are exact for quadratic terms and leave
// an error of order h^2 times the third derivatives (at most cubic terms).
TEST_P(VolumeShape, DerivativesMatchCentralDifferencesEntryForEntry) {
  const Case& c = GetParam();
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(0, 1);
  const double h = 1e-5;
  double dn[60], plus[20], minus[20];
  for (int trial = 0; trial < 300; ++trial) {
    const Coord3 p = trial % 3 == 0 ? volume_test::AnyPoint(rng)
                                    : volume_test::DomainPoint(c.domain, u(rng), u(rng), u(rng));
    std::fill(dn, dn + 60, std::nan(""));
    ASSERT_EQ(c.element->ShapeDerivatives(p, dn), c.nodes);
    for (int axis = 0; axis < 3; ++axis) {
      Coord3 a = p, b = p;
      (&a.x)[axis] += h;
      (&b.x)[axis] -= h;
      c.element->ShapeFunctions(a, plus);
      c.element->ShapeFunctions(b, minus);
      for (int i = 0; i < c.nodes; ++i) {
        const double fd = (plus[i] - minus[i]) / (2 * h);
        EXPECT_NEAR(dn[3 * i + axis], fd, 2e-8 * (1 + std::fabs(fd)))
            << "node " << i << " axis " << axis << " at " << p.x << " " << p.y << " " << p.z;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllClasses, VolumeShape, testing::ValuesIn(volume_test::kCases),
                         volume_test::CaseName);

TEST(PyramidShape, ApexFunctionIsOneOnTheWholeCollapsedFace) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-1, 1);
  double n[13];
  for (int trial = 0; trial < 200; ++trial) {
    const double a = u(rng), b = u(rng);
    Meshkit::kPyramid5.ShapeFunctions({-1, a, b}, n);
    EXPECT_DOUBLE_EQ(n[4], 1.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(n[i], 0.0);
    Meshkit::kPyramid13.ShapeFunctions({a, 1, b}, n);
    EXPECT_DOUBLE_EQ(n[4], 1.0);
    for (int i = 0; i < 13; ++i) {
      if (i == 4) continue;
      EXPECT_NEAR(n[i], 0.0, 1e-15) << i;
    }
  }
  double dn[39];
  Meshkit::kPyramid13.ShapeDerivatives({0.3, -0.4, 0.7}, dn);
  EXPECT_EQ(dn[12], 0.0);
  EXPECT_DOUBLE_EQ(dn[13], 0.1);
  EXPECT_EQ(dn[14], 0.0);
}

TEST(BrickShape, CentresGiveTheWorkedValues) {
  double n[20];
  Meshkit::kBrick8.ShapeFunctions({0.5, 0.5, 0.5}, n);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(n[i], 0.125);
  Meshkit::kBrick20.ShapeFunctions({0, 0, 0}, n);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(n[i], -0.25);
  for (int i = 8; i < 20; ++i) EXPECT_EQ(n[i], 0.25);
}

TEST(TetrahedronShape, LinearDerivativesDoNotDependOnThePoint) {
  double a[12], b[12];
  Meshkit::kTetrahedral4.ShapeDerivatives({0.1, 0.2, 0.3}, a);
  Meshkit::kTetrahedral4.ShapeDerivatives({-7, 40, 1e9}, b);
  const double expected[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, -1, -1, -1};
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(a[k], expected[k]);
    EXPECT_EQ(b[k], expected[k]);
  }
}

}  // namespace
