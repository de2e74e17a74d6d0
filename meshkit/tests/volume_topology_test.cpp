// Inside tests, clamps, centre points and face tables of the volume classes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "volume_cases.h"

namespace {

using Meshkit::Coord3;
using volume_test::Case;

Coord3 Sub(const Coord3& a, const Coord3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const Coord3& a, const Coord3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Coord3 Cross(const Coord3& a, const Coord3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

class VolumeTopology : public testing::TestWithParam<Case> {};

// The node coordinates' centroid lies inside every class's element.
Coord3 Centroid(const Case& c, int count) {
  Coord3 s{0, 0, 0};
  for (int i = 0; i < count; ++i)
    s.x += c.nodeCoords[i].x, s.y += c.nodeCoords[i].y, s.z += c.nodeCoords[i].z;
  return {s.x / count, s.y / count, s.z / count};
}

TEST_P(VolumeTopology, FaceCornersRunAroundOutwardNormalsAndEveryEdgeIsSharedOppositely) {
  const Case& c = GetParam();
  const Meshkit::ElemClass& e = *c.element;
  // For a pyramid the apex entry is the centre of its collapsed face, which
  // makes the faces proper triangles.
  const Coord3 inside = Centroid(c, c.corners);
  const double sense = c.element == &Meshkit::kWedge6 ? -1.0 : 1.0;  // clockwise rows
  std::map<std::pair<int, int>, int> edges;
  for (int f = 0; f < e.FaceCount(); ++f) {
    const int k = e.FaceCornerCount(f);
    const int* corners = e.FaceCorners(f);
    ASSERT_TRUE(k == 3 || k == 4);
    Coord3 centre{0, 0, 0};
    for (int j = 0; j < k; ++j) {
      const Coord3& q = c.nodeCoords[corners[j]];
      centre.x += q.x / k, centre.y += q.y / k, centre.z += q.z / k;
      ++edges[{corners[j], corners[(j + 1) % k]}];
    }
    for (int j = 0; j < k; ++j) {
      const Coord3& a = c.nodeCoords[corners[j]];
      const Coord3& b = c.nodeCoords[corners[(j + 1) % k]];
      const Coord3 normal = Cross(Sub(b, a), Sub(centre, a));
      EXPECT_GT(sense * Dot(normal, Sub(centre, inside)), 0) << "face " << f << " corner " << j;
    }
  }
  for (const auto& edge : edges) {
    EXPECT_EQ(edge.second, 1);
    EXPECT_EQ((edges[{edge.first.second, edge.first.first}]), 1)
        << edge.first.first << "-" << edge.first.second;
  }
}

TEST_P(VolumeTopology, FaceRowsStartWithTheCornersAndPutEachMidsideNodeOnItsEdge) {
  const Case& c = GetParam();
  const Meshkit::ElemClass& e = *c.element;
  const bool quadratic = c.nodes > c.corners;
  for (int f = 0; f < e.FaceCount(); ++f) {
    const int k = e.FaceCornerCount(f);
    const int* nodes = e.FaceNodes(f);
    const int* corners = e.FaceCorners(f);
    ASSERT_EQ(e.FaceNodeCount(f), quadratic ? 2 * k : k);
    for (int j = 0; j < k; ++j) EXPECT_EQ(nodes[j], corners[j]);
    for (int j = 0; quadratic && j < k; ++j) {
      int first = -2, second = -2;
      e.ParentCorners(nodes[k + j], first, second);
      const int a = corners[j], b = corners[(j + 1) % k];
      EXPECT_TRUE((first == a && second == b) || (first == b && second == a))
          << "face " << f << " midside " << nodes[k + j];
      // The node's coordinates are the midpoint of its edge (pyramid edges to
      // the apex excepted, which end on the collapsed face).
      if (a != 4 && b != 4) {
        const Coord3& m = c.nodeCoords[nodes[k + j]];
        EXPECT_EQ(m.x, 0.5 * (c.nodeCoords[a].x + c.nodeCoords[b].x));
        EXPECT_EQ(m.y, 0.5 * (c.nodeCoords[a].y + c.nodeCoords[b].y));
        EXPECT_EQ(m.z, 0.5 * (c.nodeCoords[a].z + c.nodeCoords[b].z));
      }
    }
  }
}

TEST_P(VolumeTopology, EveryMidsideNodeHasTwoDistinctCornerParentsAndOtherNumbersThemselves) {
  const Case& c = GetParam();
  int first, second;
  for (int i = -3; i < c.nodes + 10; ++i) {
    c.element->ParentCorners(i, first, second);
    if (i >= c.corners && i < c.nodes) {
      EXPECT_NE(first, second);
      EXPECT_TRUE(first >= 0 && first < c.corners && second >= 0 && second < c.corners);
    } else {
      EXPECT_EQ(first, i);
      EXPECT_EQ(second, i);
    }
  }
}

TEST_P(VolumeTopology, ClampLandsOnTheDomainLeavesInsidePointsAndMovesNoFurtherThanNeeded) {
  const Case& c = GetParam();
  const Meshkit::ElemClass& e = *c.element;
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  for (int trial = 0; trial < 5000; ++trial) {
    const Coord3 p = volume_test::AnyPoint(rng);
    const Coord3 q = e.ClampToElement(p);
    EXPECT_TRUE(e.IsInside(q, 1e-15)) << p.x << " " << p.y << " " << p.z;
    const Coord3 again = e.ClampToElement(q);
    EXPECT_NEAR(again.x, q.x, 1e-15);
    EXPECT_NEAR(again.y, q.y, 1e-15);
    EXPECT_NEAR(again.z, q.z, 1e-15);
    const Coord3 r = volume_test::DomainPoint(c.domain, u(rng), u(rng), u(rng));
    if (!e.IsInside(r, 0)) continue;  // rounding may leave a drawn point just outside
    const Coord3 s = e.ClampToElement(r);
    EXPECT_EQ(s.x, r.x);
    EXPECT_EQ(s.y, r.y);
    EXPECT_EQ(s.z, r.z);
  }
}

INSTANTIATE_TEST_SUITE_P(AllClasses, VolumeTopology, testing::ValuesIn(volume_test::kCases),
                         volume_test::CaseName);

// The clamp's correction beyond the slanted face is the Euclidean projection
// of the limited point onto the face: the result c is on the face and every
// vertex v of the face has (limited - c) . (v - c) <= 0.
TEST(SlantedFaceClamp, IsTheNearestPointOfTheFaceForBothTetrahedraAndBothWedges) {
  std::mt19937_64 rng(9);
  const Coord3 tetFace[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int trial = 0; trial < 5000; ++trial) {
    const Coord3 p = volume_test::AnyPoint(rng);
    const Coord3 limited = {std::fmin(std::fmax(p.x, 0.0), 1.0),
                            std::fmin(std::fmax(p.y, 0.0), 1.0),
                            std::fmin(std::fmax(p.z, 0.0), 1.0)};
    if (limited.x + limited.y + limited.z > 1) {
      const Coord3 q = Meshkit::kTetrahedral4.ClampToElement(p);
      const Coord3 q10 = Meshkit::kTetrahedral10.ClampToElement(p);
      EXPECT_EQ(q.x, q10.x);
      EXPECT_EQ(q.y, q10.y);
      EXPECT_EQ(q.z, q10.z);
      EXPECT_NEAR(q.x + q.y + q.z, 1.0, 1e-15);
      for (const Coord3& v : tetFace) {
        EXPECT_LE(Dot(Sub(limited, q), Sub(v, q)), 1e-14);
      }
    }
    for (const Meshkit::ElemClass* e :
         {static_cast<const Meshkit::ElemClass*>(&Meshkit::kWedge6),
          static_cast<const Meshkit::ElemClass*>(&Meshkit::kWedge15)}) {
      const double zLow = e == &Meshkit::kWedge6 ? 0 : -1;
      const Coord3 w = {std::fmin(std::fmax(p.x, 0.0), 1.0), std::fmin(std::fmax(p.y, 0.0), 1.0),
                        std::fmin(std::fmax(p.z, zLow), 1.0)};
      if (w.x + w.y <= 1) continue;
      const Coord3 q = e->ClampToElement(p);
      EXPECT_EQ(q.z, w.z);
      EXPECT_NEAR(q.x + q.y, 1.0, 1e-15);
      EXPECT_NEAR(q.x - q.y, w.x - w.y, 1e-15);  // moved along the edge's normal
    }
  }
  const Coord3 corner = Meshkit::kTetrahedral4.ClampToElement({5, -1, -1});
  EXPECT_EQ(corner.x, 1.0);
  EXPECT_EQ(corner.y, 0.0);
  EXPECT_EQ(corner.z, 0.0);
  const Coord3 mid = Meshkit::kTetrahedral10.ClampToElement({1, 1, 1});
  EXPECT_NEAR(mid.x, 1.0 / 3, 1e-16);
  EXPECT_NEAR(mid.z, 1.0 / 3, 1e-16);
}

TEST(VolumeInside, BoundsAreInclusiveAndWidenByTheTolerance) {
  using namespace Meshkit;
  EXPECT_TRUE(kBrick8.IsInside({0, 0, 0}, 0));
  EXPECT_TRUE(kBrick8.IsInside({1, 1, 1}, 0));
  EXPECT_FALSE(kBrick8.IsInside({1.001, 0.5, 0.5}, 0));
  EXPECT_TRUE(kBrick8.IsInside({1.001, 0.5, 0.5}, 0.01));
  EXPECT_FALSE(kBrick8.IsInside({0.5, -0.001, 0.5}, 0));
  for (const ElemClass* e :
       {static_cast<const ElemClass*>(&kBrick20), static_cast<const ElemClass*>(&kPyramid5),
        static_cast<const ElemClass*>(&kPyramid13)}) {
    EXPECT_TRUE(e->IsInside({-1, 1, -1}, 0));
    EXPECT_FALSE(e->IsInside({0, 0, 1.01}, 0));
    EXPECT_TRUE(e->IsInside({0, 0, 1.01}, 0.02));
    EXPECT_TRUE(e->IsInside({0.9, 0.9, 0.9}, 0));  // whole cube, also beyond the pyramid's slants
  }
  for (const ElemClass* e : {static_cast<const ElemClass*>(&kTetrahedral4),
                             static_cast<const ElemClass*>(&kTetrahedral10)}) {
    EXPECT_FALSE(e->IsInside({0.5, 0.5, 0.5}, 0.49));
    EXPECT_TRUE(e->IsInside({0.5, 0.5, 0.5}, 0.5));
    EXPECT_TRUE(e->IsInside({0, 0, 1}, 0));
    EXPECT_FALSE(e->IsInside({-0.1, 0.2, 0.2}, 0.05));
  }
  EXPECT_TRUE(kWedge15.IsInside({0.2, 0.2, -1}, 0));
  EXPECT_TRUE(kWedge15.IsInside({0.2, 0.2, 1}, 0));
  EXPECT_FALSE(kWedge15.IsInside({0.6, 0.6, 0}, 0.1));
  EXPECT_FALSE(kWedge6.IsInside({0.2, 0.2, -0.5}, 0.49));
  EXPECT_TRUE(kWedge6.IsInside({0.2, 0.2, -0.5}, 0.5));
  EXPECT_FALSE(kWedge6.IsInside({0.6, 0.6, 0.5}, 0.1));
  EXPECT_TRUE(kWedge6.IsInside({0.6, 0.6, 0.5}, 0.2));
}

TEST(VolumeClamp, LimitsEachCoordinateToTheClassInterval) {
  const Coord3 a = Meshkit::kBrick20.ClampToElement({2, -3, 0.5});
  EXPECT_EQ(a.x, 1.0);
  EXPECT_EQ(a.y, -1.0);
  EXPECT_EQ(a.z, 0.5);
  const Coord3 b = Meshkit::kBrick8.ClampToElement({2, -3, 0.5});
  EXPECT_EQ(b.x, 1.0);
  EXPECT_EQ(b.y, 0.0);
  EXPECT_EQ(b.z, 0.5);
  const Coord3 w = Meshkit::kWedge15.ClampToElement({0.2, 0.1, -4});
  EXPECT_EQ(w.z, -1.0);
  const Coord3 w6 = Meshkit::kWedge6.ClampToElement({0.2, 0.1, -4});
  EXPECT_EQ(w6.z, 0.0);
}

TEST(VolumeTables, CountsCentresAndRowsTheCallersRelyOn) {
  using namespace Meshkit;
  EXPECT_EQ(kPyramid5.FaceNodeCount(0), 4);
  EXPECT_EQ(kPyramid13.FaceNodeCount(0), 8);
  for (int f = 1; f < 5; ++f) {
    EXPECT_EQ(kPyramid5.FaceNodeCount(f), 3);
    EXPECT_EQ(kPyramid13.FaceNodeCount(f), 6);
    EXPECT_EQ(kPyramid13.FaceCornerCount(f), 3);
    EXPECT_EQ(kPyramid5.FaceNodes(f)[3], -1);
    EXPECT_EQ(kPyramid13.FaceNodes(f)[6], -1);
    EXPECT_EQ(kPyramid13.FaceNodes(f)[7], -1);
  }
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(kWedge6.FaceNodeCount(f), f <= 2 ? 4 : 3);
    EXPECT_EQ(kWedge15.FaceNodeCount(f), f <= 2 ? 8 : 6);
    EXPECT_EQ(kWedge15.FaceCornerCount(f), f <= 2 ? 4 : 3);
    for (int j = 0; j < kWedge6.FaceCornerCount(f); ++j) {
      EXPECT_EQ(kWedge6.FaceNodes(f)[j], kWedge15.FaceNodes(f)[j]);
    }
  }
  // The pyramids list their triangles in different orders.
  const int p5[4][2] = {{0, 1}, {0, 3}, {1, 2}, {2, 3}};
  const int p13[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
  for (int f = 1; f < 5; ++f) {
    int base5 = 0, base13 = 0;  // the two base corners of each triangle, as a bit set
    for (int j = 0; j < 3; ++j) {
      if (kPyramid5.FaceCorners(f)[j] != 4) base5 |= 1 << kPyramid5.FaceCorners(f)[j];
      if (kPyramid13.FaceCorners(f)[j] != 4) base13 |= 1 << kPyramid13.FaceCorners(f)[j];
    }
    EXPECT_EQ(base5, (1 << p5[f - 1][0]) | (1 << p5[f - 1][1])) << f;
    EXPECT_EQ(base13, (1 << p13[f - 1][0]) | (1 << p13[f - 1][1])) << f;
  }
  for (int f = 0; f < 6; ++f) {
    for (int j = 4; j < 8; ++j) EXPECT_EQ(kBrick20.FaceCorners(f)[j], 0);
    // Face f lies on the low (even f) or high side of axis f / 2.
    for (int j = 0; j < 8; ++j) {
      const Coord3& q = tables::kBrick20Nodes[kBrick20.FaceNodes(f)[j]];
      EXPECT_EQ((&q.x)[f / 2], f % 2 ? 1.0 : -1.0) << f << " " << j;
    }
    for (int j = 0; j < 4; ++j) {
      const Coord3& q = tables::kBrick8Nodes[kBrick8.FaceNodes(f)[j]];
      EXPECT_EQ((&q.x)[f / 2], f % 2 ? 1.0 : 0.0) << f << " " << j;
    }
  }
  int first, second;
  kBrick20.ParentCorners(3, first, second);
  EXPECT_EQ(first, 3);
  kBrick20.ParentCorners(16, first, second);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 4);
  kBrick20.ParentCorners(25, first, second);
  EXPECT_EQ(second, 25);
  const double twelveThrees = 0.333333333333;
  EXPECT_EQ(kWedge6.CentrePoint().x, twelveThrees);
  EXPECT_EQ(kWedge6.CentrePoint().z, 0.5);
  EXPECT_EQ(kWedge15.CentrePoint().y, twelveThrees);
  EXPECT_EQ(kWedge15.CentrePoint().z, 0.0);
  EXPECT_EQ(kPyramid13.CentrePoint().y, 0.5);
  EXPECT_EQ(kTetrahedral10.CentrePoint().z, 0.25);
  EXPECT_EQ(kBrick8.CentrePoint().x, 0.5);
  EXPECT_EQ(kBrick20.CentrePoint().x, 0.0);
}

}  // namespace
