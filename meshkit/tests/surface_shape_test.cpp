// Shape functions and their first and second derivatives of the four surface
// classes, one table-driven test per property across all instances.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "surface_cases.h"

namespace {

using namespace surface_testing;
using Meshkit::Coord3;

constexpr double kStep = 1e-5;

TEST(SurfaceShapeTest, CountsAreTheNodeAndCornerCounts) {
  const int expectedNodes[] = {3, 6, 4, 8};
  const int expectedCorners[] = {3, 3, 4, 4};
  int i = 0;
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    double buffer[24];
    const Coord2 p{0.1, 0.2};
    EXPECT_EQ(c.element->ShapeFunctions(p, buffer), expectedNodes[i]);
    EXPECT_EQ(c.element->ShapeFunctions2D(p, buffer), expectedNodes[i]);
    EXPECT_EQ(c.element->ShapeDerivatives(p, buffer), expectedNodes[i]);
    EXPECT_EQ(c.element->ShapeDerivatives2D(p, buffer), expectedNodes[i]);
    EXPECT_EQ(c.element->ShapeSecondDerivatives(p, buffer), expectedNodes[i]);
    EXPECT_EQ(c.element->CornerShapeFunctions(p, buffer), expectedCorners[i]);
    ++i;
  }
}

TEST(SurfaceShapeTest, FunctionsSumToOneAndDerivativesToZeroAndBothNamesAgreeBitForBit) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : RandomPoints(c, 200, 11)) {
      double n[8], n2[8], d[16], dd[24];
      c.element->ShapeFunctions(p, n);
      c.element->ShapeFunctions2D(p, n2);
      c.element->ShapeDerivatives2D(p, d);
      c.element->ShapeSecondDerivatives(p, dd);
      EXPECT_EQ(std::memcmp(n, n2, sizeof(double) * c.nodes), 0);
      double sum = 0, sr = 0, ss = 0, srr = 0, sss = 0, srs = 0;
      for (int k = 0; k < c.nodes; ++k) {
        sum += n[k];
        sr += d[2 * k];
        ss += d[2 * k + 1];
        srr += dd[3 * k];
        sss += dd[3 * k + 1];
        srs += dd[3 * k + 2];
      }
      EXPECT_NEAR(sum, 1.0, 1e-14);
      EXPECT_NEAR(sr, 0.0, 1e-14);
      EXPECT_NEAR(ss, 0.0, 1e-14);
      EXPECT_NEAR(srr, 0.0, 1e-13);
      EXPECT_NEAR(sss, 0.0, 1e-13);
      EXPECT_NEAR(srs, 0.0, 1e-13);
    }
  }
}

TEST(SurfaceShapeTest, EachFunctionIsOneAtItsNodeAndZeroAtTheOthers) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (int k = 0; k < c.nodes; ++k) {
      double n[8];
      c.element->ShapeFunctions(c.positions[k], n);
      for (int j = 0; j < c.nodes; ++j) EXPECT_EQ(n[j], j == k ? 1.0 : 0.0) << k << " " << j;
    }
  }
}

TEST(SurfaceShapeTest, CornerFunctionsAreTheLinearElementsFunctions) {
  const SurfElemClass* linear[] = {&Meshkit::kTriangle3, &Meshkit::kTriangle3,
                                   &Meshkit::kQuadrilateral4, &Meshkit::kQuadrilateral4};
  int i = 0;
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : RandomPoints(c, 50, 12)) {
      double corner[4], reference[4];
      c.element->CornerShapeFunctions(p, corner);
      linear[i]->ShapeFunctions(p, reference);
      EXPECT_EQ(std::memcmp(corner, reference, sizeof(double) * c.corners), 0);
    }
    ++i;
  }
}

TEST(SurfaceShapeTest, FirstDerivativesMatchCentralDifferencesOfTheFunctions) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : RandomPoints(c, 100, 13)) {
      double d[16], plusR[8], minusR[8], plusS[8], minusS[8];
      c.element->ShapeDerivatives2D(p, d);
      c.element->ShapeFunctions({p.r + kStep, p.s}, plusR);
      c.element->ShapeFunctions({p.r - kStep, p.s}, minusR);
      c.element->ShapeFunctions({p.r, p.s + kStep}, plusS);
      c.element->ShapeFunctions({p.r, p.s - kStep}, minusS);
      for (int k = 0; k < c.nodes; ++k) {
        EXPECT_NEAR(d[2 * k], (plusR[k] - minusR[k]) / (2 * kStep), 1e-8) << k;
        EXPECT_NEAR(d[2 * k + 1], (plusS[k] - minusS[k]) / (2 * kStep), 1e-8) << k;
      }
    }
  }
}

TEST(SurfaceShapeTest, SecondDerivativesMatchCentralDifferencesOfTheFirst) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : RandomPoints(c, 100, 14)) {
      double dd[24], plusR[16], minusR[16], plusS[16], minusS[16];
      c.element->ShapeSecondDerivatives(p, dd);
      c.element->ShapeDerivatives2D({p.r + kStep, p.s}, plusR);
      c.element->ShapeDerivatives2D({p.r - kStep, p.s}, minusR);
      c.element->ShapeDerivatives2D({p.r, p.s + kStep}, plusS);
      c.element->ShapeDerivatives2D({p.r, p.s - kStep}, minusS);
      for (int k = 0; k < c.nodes; ++k) {
        const double rr = (plusR[2 * k] - minusR[2 * k]) / (2 * kStep);
        const double ss = (plusS[2 * k + 1] - minusS[2 * k + 1]) / (2 * kStep);
        const double rs = (plusS[2 * k] - minusS[2 * k]) / (2 * kStep);
        const double sr = (plusR[2 * k + 1] - minusR[2 * k + 1]) / (2 * kStep);
        EXPECT_NEAR(dd[3 * k], rr, 1e-8) << k;
        EXPECT_NEAR(dd[3 * k + 1], ss, 1e-8) << k;
        EXPECT_NEAR(dd[3 * k + 2], rs, 1e-8) << k;
        EXPECT_NEAR(dd[3 * k + 2], sr, 1e-8) << k;
      }
    }
  }
}

TEST(SurfaceShapeTest, TripletDerivativesEqualThePairsAndLeaveTheThirdDoubleAlone) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : RandomPoints(c, 20, 15)) {
      double pairs[16], triples[24];
      for (int i = 0; i < 24; ++i) triples[i] = 1000.0 + i;
      c.element->ShapeDerivatives2D(p, pairs);
      c.element->ShapeDerivatives(p, triples);
      for (int k = 0; k < c.nodes; ++k) {
        EXPECT_EQ(triples[3 * k], pairs[2 * k]);
        EXPECT_EQ(triples[3 * k + 1], pairs[2 * k + 1]);
        EXPECT_EQ(triples[3 * k + 2], 1000.0 + 3 * k + 2);
      }
    }
  }
}

TEST(SurfaceShapeTest, PointsAsCoord3IgnoreTheThirdComponent) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const Coord3 p3{0.3, 0.1, 42.0};
    const Coord2 p2{0.3, 0.1};
    double a[8], b[8];
    c.element->ShapeFunctions(p3, a);
    c.element->ShapeFunctions(p2, b);
    EXPECT_EQ(std::memcmp(a, b, sizeof(double) * c.nodes), 0);
    EXPECT_EQ(c.element->IsInside(Coord3{0.3, 0.1, 1e9}, 0.0), true);
  }
}

TEST(SurfaceShapeTest, ClosedFormsAsWrittenAtOnePoint) {
  // The constant derivatives of the linear triangle, the bilinear mixed
  // derivative, and the 8-node corner function in its expanded form.
  double d[6];
  Meshkit::kTriangle3.ShapeDerivatives2D({0.7, 0.1}, d);
  const double triangle[] = {1, 0, 0, 1, -1, -1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(d[i], triangle[i]);

  double second[12];
  Meshkit::kQuadrilateral4.ShapeSecondDerivatives({0.3, -0.8}, second);
  const double bilinear[] = {0, 0, 0.25, 0, 0, -0.25, 0, 0, 0.25, 0, 0, -0.25};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(second[i], bilinear[i]);

  const double r = 0.3, s = -0.7;
  double n[8];
  Meshkit::kQuadrilateral8.ShapeFunctions({r, s}, n);
  EXPECT_EQ(n[0], 0.25 * (r * r + s * s - 1 + r * s - r * r * s - r * (s * s)));
  EXPECT_NEAR(n[0], 0.25 * (1 - r) * (1 - s) * (-r - s - 1), 1e-15);
}

}  // namespace
