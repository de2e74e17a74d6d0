// Inside tests, clamps, node positions and tests, centre points, topology and
// the shared instances of the four surface classes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "surface_cases.h"

namespace {

using namespace surface_testing;
using Meshkit::Coord3;

// Evaluated during dynamic initialisation of this file: it works only because
// the instances need no initialisation of their own.
double ValueBeforeMain() {
  double n[8];
  Meshkit::kQuadrilateral8.ShapeFunctions(Coord2{1.0, 0.0}, n);
  return n[5];
}
const double kValueBeforeMain = ValueBeforeMain();

TEST(SurfaceInstancesTest, AreUsableBeforeMainAndCountTheirNodes) {
  EXPECT_EQ(kValueBeforeMain, 1.0);
  const SurfElemClass* all[] = {&Meshkit::kTriangle3, &Meshkit::kTriangle6,
                                &Meshkit::kQuadrilateral4, &Meshkit::kQuadrilateral8};
  const int nodes[] = {3, 6, 4, 8};
  for (int i = 0; i < 4; ++i) {
    double n[8];
    EXPECT_EQ(all[i]->ShapeFunctions(Coord2{0.0, 0.0}, n), nodes[i]);
  }
}

TEST(SurfaceDomainTest, InsideTestsHonourTheToleranceAndIncludeTheBoundary) {
  const SurfElemClass& q4 = Meshkit::kQuadrilateral4;
  EXPECT_FALSE(q4.IsInside(Coord2{1.05, 0.0}, 0.01));
  EXPECT_TRUE(q4.IsInside(Coord2{1.05, 0.0}, 0.1));
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const SurfElemClass& e = *c.element;
    if (c.triangle) {
      EXPECT_FALSE(e.IsInside(Coord2{0.6, 0.6}, 0.1));
      EXPECT_TRUE(e.IsInside(Coord2{0.6, 0.6}, 0.25));
      EXPECT_TRUE(e.IsInside(Coord2{0.5, 0.5}, 0.0));
      EXPECT_TRUE(e.IsInside(Coord2{0.0, 0.3}, 0.0));
      EXPECT_FALSE(e.IsInside(Coord2{-1e-12, 0.3}, 0.0));
      EXPECT_FALSE(e.IsInside(Coord2{0.3, 1.2}, 0.1));  // 1 - r - s = -0.5
    } else {
      EXPECT_TRUE(e.IsInside(Coord2{-1.0, 1.0}, 0.0));
      EXPECT_FALSE(e.IsInside(Coord2{0.0, -1.0 - 1e-12}, 0.0));
      EXPECT_FALSE(e.IsInside(Coord2{0.5, 1.2}, 0.1));
    }
    for (const Coord2& p : c.positions) {
      EXPECT_TRUE(e.IsInside(p, 0.0));
      EXPECT_TRUE(e.IsInside2D(p, 0.0));
    }
    EXPECT_FALSE(e.IsInside(Coord2{std::nan(""), 0.0}, 0.0));
  }
}

TEST(SurfaceDomainTest, ClampsLimitEachCoordinateAndLandTrianglesOnTheNearestEdgePoint) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const SurfElemClass& e = *c.element;
    if (c.triangle) {
      const Coord3 a = e.ClampToElement(Coord2{-0.5, 0.25});
      EXPECT_EQ(a.x, 0.0);
      EXPECT_EQ(a.y, 0.25);
      EXPECT_EQ(a.z, 0.0);
      // Beyond the hypotenuse: the foot of the perpendicular on r + s = 1.
      const Coord2 b = e.ClampToElement2D(Coord2{0.9, 0.5});
      EXPECT_DOUBLE_EQ(b.r, 0.7);
      EXPECT_DOUBLE_EQ(b.s, 0.3);
      const Coord2 corner = e.ClampToElement2D(Coord2{5.0, 3.0});  // limited to (1, 1) first
      EXPECT_EQ(corner.r, 0.5);
      EXPECT_EQ(corner.s, 0.5);
      // r + s rounds to 1 here although the point lies beyond the edge.
      const Coord2 rounding = e.ClampToElement2D(Coord2{2.0, 1e-300});
      EXPECT_EQ(rounding.r, 1.0);
      EXPECT_EQ(rounding.s, 0.0);
    } else {
      const Coord3 a = e.ClampToElement(Coord2{2.0, -3.0});
      EXPECT_EQ(a.x, 1.0);
      EXPECT_EQ(a.y, -1.0);
      EXPECT_EQ(a.z, 0.0);
    }
    // Every clamped point is inside with tolerance 0, points inside stay put,
    // and both forms agree.
    std::mt19937 gen(21);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    for (int i = 0; i < 2000; ++i) {
      const Coord2 p{u(gen), u(gen)};
      const Coord2 q = e.ClampToElement2D(p);
      const Coord3 q3 = e.ClampToElement(Coord3{p.r, p.s, 7.0});
      EXPECT_TRUE(e.IsInside(q, 0.0)) << p.r << " " << p.s;
      EXPECT_EQ(q.r, q3.x);
      EXPECT_EQ(q.s, q3.y);
      EXPECT_EQ(q3.z, 0.0);
      if (e.IsInside(p, 0.0)) {
        EXPECT_EQ(q.r, p.r);
        EXPECT_EQ(q.s, p.s);
      }
    }
  }
}

TEST(SurfaceDomainTest, NodeCoordinatesAreWhereEachShapeFunctionIsOne) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (int k = 0; k < c.nodes; ++k) {
      const Coord2 p = c.element->NodeCoordinates(k);
      EXPECT_EQ(p.r, c.positions[k].r) << k;
      EXPECT_EQ(p.s, c.positions[k].s) << k;
      double n[8];
      c.element->ShapeFunctions(p, n);
      EXPECT_EQ(n[k], 1.0) << k;
    }
    for (int k : {-1, c.nodes, 100}) {
      const Coord2 p = c.element->NodeCoordinates(k);
      EXPECT_EQ(p.r, 0.0);
      EXPECT_EQ(p.s, 0.0);
    }
  }
}

TEST(SurfaceDomainTest, IsAtNodeIsExactAtTheNodePositionsOnly) {
  const SurfElemClass& t6 = Meshkit::kTriangle6;
  EXPECT_TRUE(t6.IsAtNode(Coord2{0.5, 0.5}));
  EXPECT_FALSE(t6.IsAtNode(Coord2{0.5, 0.6}));
  EXPECT_FALSE(t6.IsAtNode(Coord2{1.0 / 3, 1.0 / 3}));
  EXPECT_FALSE(Meshkit::kTriangle3.IsAtNode(Coord2{0.5, 0.5}));
  EXPECT_FALSE(Meshkit::kQuadrilateral4.IsAtNode(Coord2{0.0, -1.0}));
  EXPECT_TRUE(Meshkit::kQuadrilateral8.IsAtNode(Coord2{0.0, -1.0}));
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (const Coord2& p : c.positions) {
      EXPECT_TRUE(c.element->IsAtNode(p));
      EXPECT_TRUE(c.element->IsAtNode(Coord3{p.r, p.s, 9.0}));
      EXPECT_FALSE(c.element->IsAtNode(Coord2{p.r + 1e-15, p.s}));
    }
    EXPECT_FALSE(c.element->IsAtNode(Coord2{0.25, 0.25}));
  }
}

TEST(SurfaceDomainTest, CentrePointsAreTheTabledPoints) {
  const Coord2 expected[] = {{0.5, 0.5}, {0.5, 0.5}, {0.5, 0.5}, {0.0, 0.0}};
  int i = 0;
  for (const ElementCase& c : AllElements()) {
    const Coord2 p = c.element->CentrePoint();
    EXPECT_EQ(p.r, expected[i].r) << c.name;
    EXPECT_EQ(p.s, expected[i].s) << c.name;
    ++i;
  }
}

TEST(SurfaceTopologyTest, OneFaceListingAllNodesAndCornersWhateverFaceNumber) {
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    const SurfElemClass& e = *c.element;
    EXPECT_EQ(e.FaceCount(), 1);
    for (int face : {0, 1, 7, -3}) {
      EXPECT_EQ(e.FaceNodeCount(face), c.nodes);
      EXPECT_EQ(e.FaceCornerCount(face), c.corners);
      const int* nodes = e.FaceNodes(face);
      const int* corners = e.FaceCorners(face);
      for (int k = 0; k < c.nodes; ++k) EXPECT_EQ(nodes[k], k);
      for (int k = 0; k < c.corners; ++k) EXPECT_EQ(corners[k], k);
    }
  }
}

TEST(SurfaceTopologyTest, ParentCornersNameTheEdgeEndsAndMidsideNodesLieHalfwayBetween) {
  int a = 0, b = 0;
  Meshkit::kQuadrilateral8.ParentCorners(5, a, b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  Meshkit::kQuadrilateral4.ParentCorners(5, a, b);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 5);
  Meshkit::kTriangle6.ParentCorners(5, a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 0);
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    for (int k = -2; k < c.nodes + 3; ++k) {
      c.element->ParentCorners(k, a, b);
      if (k < c.corners || k >= c.nodes) {
        EXPECT_EQ(a, k);
        EXPECT_EQ(b, k);
        continue;
      }
      // Consecutive corners around the element, and the midside node halfway.
      EXPECT_EQ(a, k - c.corners);
      EXPECT_EQ(b, (k - c.corners + 1) % c.corners);
      EXPECT_EQ(c.positions[k].r, 0.5 * (c.positions[a].r + c.positions[b].r));
      EXPECT_EQ(c.positions[k].s, 0.5 * (c.positions[a].s + c.positions[b].s));
    }
  }
}

}  // namespace
