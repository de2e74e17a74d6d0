// Extrapolation from integration points to nodes: every matrix recomputed
// from its rule and fit space in long double, independently of the
// generator, and the behaviour of the four operations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "allocation_count.h"
#include "volume/volume_extrapolation_tables.h"
#include "volume_cases.h"

namespace {

using Meshkit::Coord3;
using Meshkit::List;
using Meshkit::Tensor6;
using Meshkit::Tensor9;
using Real = long double;

struct Point {
  Real x, y, z;
};

std::vector<Real> Gauss(int k, bool unit) {
  std::vector<Real> g;
  if (k == 2) g = {-1 / std::sqrt(3.0L), 1 / std::sqrt(3.0L)};
  if (k == 3) g = {-std::sqrt(0.6L), 0, std::sqrt(0.6L)};
  if (k == 4) {
    const Real a = std::sqrt(3.0L / 7 + 2.0L / 7 * std::sqrt(1.2L));
    const Real b = std::sqrt(3.0L / 7 - 2.0L / 7 * std::sqrt(1.2L));
    g = {-a, -b, b, a};
  }
  if (unit) {
    for (Real& v : g) v = (v + 1) / 2;
  }
  return g;
}

// k = 2, 3: ix + k iy + k^2 iz; k = 4: iz + 4 iy + 16 ix.
std::vector<Point> BrickRule(int k, bool unit) {
  const std::vector<Real> g = Gauss(k, unit);
  std::vector<Point> out(k * k * k);
  for (int ix = 0; ix < k; ++ix) {
    for (int iy = 0; iy < k; ++iy) {
      for (int iz = 0; iz < k; ++iz) {
        const int n = k == 4 ? iz + 4 * iy + 16 * ix : ix + k * iy + k * k * iz;
        out[n] = {g[ix], g[iy], g[iz]};
      }
    }
  }
  return out;
}

// Barycentric (l0, l1, l2, l3) with l0..l2 = x, y, z.
void AddOneLarge(std::vector<Point>& out, Real big, Real small, const std::vector<int>& order) {
  for (int k : order) {
    Real l[4] = {small, small, small, small};
    l[k] = big;
    out.push_back({l[0], l[1], l[2]});
  }
}
void AddPairs(std::vector<Point>& out, Real on, Real off) {
  const int pairs[6][2] = {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {0, 2}, {1, 3}};
  for (const auto& pr : pairs) {
    Real l[4] = {off, off, off, off};
    l[pr[0]] = l[pr[1]] = on;
    out.push_back({l[0], l[1], l[2]});
  }
}

std::vector<Point> TetRule(int m) {
  std::vector<Point> out;
  const std::vector<int> cyclic = {3, 0, 1, 2};
  const Point centroid = {0.25L, 0.25L, 0.25L};
  if (m == 4)
    AddOneLarge(out, (5 + 3 * std::sqrt(5.0L)) / 20, (5 - std::sqrt(5.0L)) / 20, {0, 1, 2, 3});
  if (m == 5) {
    out.push_back(centroid);
    AddOneLarge(out, 0.5L, 1.0L / 6, {0, 1, 2, 3});
  }
  if (m == 11) {
    out.push_back(centroid);
    AddOneLarge(out, 11.0L / 14, 1.0L / 14, cyclic);
    const Real r = std::sqrt(5.0L / 14);
    AddPairs(out, (1 + r) / 4, (1 - r) / 4);
  }
  if (m == 15) {
    out.push_back(centroid);
    AddOneLarge(out, 0, 1.0L / 3, cyclic);
    AddOneLarge(out, 8.0L / 11, 1.0L / 11, cyclic);
    const Real r = std::sqrt(7.0L / 208);
    AddPairs(out, 0.25L - r, 0.25L + r);
  }
  if (m == 24) {
    AddOneLarge(out, 0.356191386222544953L, 0.214602871259151684L, cyclic);
    AddOneLarge(out, 0.877978124396165982L, 0.0406739585346113397L, cyclic);
    AddOneLarge(out, 0.0329863295731730594L, 0.322337890142275646L, cyclic);
    const Real a = 0.0636610018750175299L, b = 0.269672331458315867L, c = 0.603005664791649076L;
    const Real t[12][3] = {{a, a, b}, {c, a, a}, {b, c, a}, {a, b, c}, {a, b, a}, {c, a, b},
                           {a, c, a}, {b, a, c}, {a, c, b}, {a, a, c}, {b, a, a}, {c, b, a}};
    for (const auto& p : t) out.push_back({p[0], p[1], p[2]});
  }
  return out;
}

std::vector<Point> WedgeRule(int m) {
  std::vector<std::pair<Real, Real>> tri;
  const Real third = 1.0L / 3;
  int g = 0;
  if (m == 6) tri = {{0, 0.5L}, {0.5L, 0.5L}, {0.5L, 0}}, g = 2;
  if (m == 12) tri = {{third, third}, {0.2L, 0.2L}, {0.2L, 0.6L}, {0.6L, 0.2L}}, g = 3;
  if (m == 28) {
    const Real s = std::sqrt(15.0L);
    const Real p = (6 + s) / 21, q = (9 - 2 * s) / 21, r = (6 - s) / 21, t = (9 + 2 * s) / 21;
    tri = {{third, third}, {p, p}, {p, q}, {q, p}, {r, r}, {r, t}, {t, r}};
    g = 4;
  }
  if (m == 48) {
    const Real a = 0.063089014491502L, b = 0.873821971016996L, c = 0.249286745170910L,
               d = 0.501426509658179L, e = 0.053145049844816L, f = 0.310352451033785L,
               h = 0.636502499121399L;
    tri = {{a, a}, {b, a}, {a, b}, {c, c}, {d, c}, {c, d},
           {e, f}, {f, e}, {h, e}, {e, h}, {f, h}, {h, f}};
    g = 4;
  }
  std::vector<Point> out;
  for (Real z : Gauss(g, true)) {
    for (const auto& xy : tri) out.push_back({xy.first, xy.second, z});
  }
  return out;
}

using Terms = std::function<std::vector<Real>(const Point&)>;

std::vector<Real> Linear(const Point& p) { return {1, p.x, p.y, p.z}; }
std::vector<Real> Quadratic(const Point& p) {
  return {1, p.x, p.y, p.z, p.x * p.x, p.y * p.y, p.z * p.z, p.x * p.y, p.y * p.z, p.z * p.x};
}
std::vector<Real> Trilinear(const Point& p) {
  return {1, p.x, p.y, p.z, p.x * p.y, p.y * p.z, p.z * p.x, p.x * p.y * p.z};
}
std::vector<Real> Serendipity(const Point& p) {
  std::vector<Real> t = Trilinear(p);
  const Real x = p.x, y = p.y, z = p.z;
  for (Real v : {x * x, y * y, z * z, x * x * y, x * x * z, x * y * y, y * y * z, x * z * z,
                 y * z * z, x * x * y * z, x * y * y * z, x * y * z * z}) {
    t.push_back(v);
  }
  return t;
}
std::vector<Real> WedgeTerms(const Point& p) { return {1, p.x, p.y, p.z, p.x * p.z, p.y * p.z}; }

// E (V^T V)^-1 V^T, by Gauss-Jordan elimination with partial pivoting.
std::vector<Real> LeastSquares(const Terms& terms, const std::vector<Point>& points,
                               const Coord3* nodes, int n) {
  const int m = static_cast<int>(points.size());
  std::vector<std::vector<Real>> v;
  v.reserve(points.size());
  for (const Point& p : points) v.push_back(terms(p));
  const int p = static_cast<int>(v[0].size());
  std::vector<std::vector<Real>> a(p, std::vector<Real>(p + m, 0));
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) {
      for (int k = 0; k < m; ++k) a[i][j] += v[k][i] * v[k][j];
    }
    for (int k = 0; k < m; ++k) a[i][p + k] = v[k][i];
  }
  for (int col = 0; col < p; ++col) {
    int pivot = col;
    for (int r = col + 1; r < p; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    std::swap(a[col], a[pivot]);
    for (int r = 0; r < p; ++r) {
      if (r == col) continue;
      const Real f = a[r][col] / a[col][col];
      for (int k = col; k < p + m; ++k) a[r][k] -= f * a[col][k];
    }
  }
  std::vector<Real> out(n * m, 0);
  for (int i = 0; i < n; ++i) {
    const std::vector<Real> e = terms({nodes[i].x, nodes[i].y, nodes[i].z});
    for (int j = 0; j < m; ++j) {
      for (int k = 0; k < p; ++k) out[i * m + j] += e[k] * a[k][p + j] / a[k][k];
    }
  }
  return out;
}

struct Rule {
  const char* name;
  const Meshkit::ElemClass* element;
  int nodes;
  const Coord3* nodeCoords;
  int points;
  const double* stored;
  std::vector<Point> (*rule)(int);
  Terms terms;
};

std::vector<Point> Brick8Rule(int m) { return BrickRule(m == 8 ? 2 : m == 27 ? 3 : 4, true); }
std::vector<Point> Brick20Rule(int m) { return BrickRule(m == 8 ? 2 : m == 27 ? 3 : 4, false); }

std::vector<Rule> AllRules() {
  namespace t = Meshkit::tables;
  const Coord3* tet = t::kTetrahedronNodes;
  return {
      {"Tetrahedral4", &Meshkit::kTetrahedral4, 4, tet, 4, t::kTetrahedral4From4, TetRule, Linear},
      {"Tetrahedral4", &Meshkit::kTetrahedral4, 4, tet, 5, t::kTetrahedral4From5, TetRule, Linear},
      {"Tetrahedral4", &Meshkit::kTetrahedral4, 4, tet, 11, t::kTetrahedral4From11, TetRule,
       Linear},
      {"Tetrahedral4", &Meshkit::kTetrahedral4, 4, tet, 15, t::kTetrahedral4From15, TetRule,
       Linear},
      {"Tetrahedral4", &Meshkit::kTetrahedral4, 4, tet, 24, t::kTetrahedral4From24, TetRule,
       Linear},
      {"Tetrahedral10", &Meshkit::kTetrahedral10, 10, tet, 4, t::kTetrahedral10From4, TetRule,
       Linear},
      {"Tetrahedral10", &Meshkit::kTetrahedral10, 10, tet, 5, t::kTetrahedral10From5, TetRule,
       Linear},
      {"Tetrahedral10", &Meshkit::kTetrahedral10, 10, tet, 11, t::kTetrahedral10From11, TetRule,
       Quadratic},
      {"Tetrahedral10", &Meshkit::kTetrahedral10, 10, tet, 15, t::kTetrahedral10From15, TetRule,
       Quadratic},
      {"Tetrahedral10", &Meshkit::kTetrahedral10, 10, tet, 24, t::kTetrahedral10From24, TetRule,
       Quadratic},
      {"Wedge6", &Meshkit::kWedge6, 6, t::kWedge6Nodes, 6, t::kWedge6From6, WedgeRule, WedgeTerms},
      {"Wedge6", &Meshkit::kWedge6, 6, t::kWedge6Nodes, 12, t::kWedge6From12, WedgeRule,
       WedgeTerms},
      {"Wedge6", &Meshkit::kWedge6, 6, t::kWedge6Nodes, 28, t::kWedge6From28, WedgeRule,
       WedgeTerms},
      {"Wedge6", &Meshkit::kWedge6, 6, t::kWedge6Nodes, 48, t::kWedge6From48, WedgeRule,
       WedgeTerms},
      {"Brick8", &Meshkit::kBrick8, 8, t::kBrick8Nodes, 8, t::kBrick8From8, Brick8Rule, Trilinear},
      {"Brick8", &Meshkit::kBrick8, 8, t::kBrick8Nodes, 27, t::kBrick8From27, Brick8Rule,
       Serendipity},
      {"Brick8", &Meshkit::kBrick8, 8, t::kBrick8Nodes, 64, t::kBrick8From64, Brick8Rule,
       Serendipity},
      {"Brick20", &Meshkit::kBrick20, 20, t::kBrick20Nodes, 8, t::kBrick20From8, Brick20Rule,
       Trilinear},
      {"Brick20", &Meshkit::kBrick20, 20, t::kBrick20Nodes, 27, t::kBrick20From27, Brick20Rule,
       Serendipity},
      {"Brick20", &Meshkit::kBrick20, 20, t::kBrick20Nodes, 64, t::kBrick20From64, Brick20Rule,
       Serendipity},
  };
}

std::string RuleName(const testing::TestParamInfo<Rule>& info) {
  return std::string(info.param.name) + "From" + std::to_string(info.param.points);
}

class Extrapolation : public testing::TestWithParam<Rule> {};

TEST_P(Extrapolation, StoredMatrixIsTheLeastSquaresFitOfItsRule) {
  const Rule& r = GetParam();
  const std::vector<Point> points = r.rule(r.points);
  ASSERT_EQ(static_cast<int>(points.size()), r.points);
  const std::vector<Real> expected = LeastSquares(r.terms, points, r.nodeCoords, r.nodes);
  for (int k = 0; k < r.nodes * r.points; ++k) {
    EXPECT_NEAR(r.stored[k], static_cast<double>(expected[k]), 1e-12) << "entry " << k;
  }
}

// Each component carries its own field; scalar, vector, Tensor6 and Tensor9
// must all give, bit for bit, what the written procedure gives: the output
// zeroed, then entry (i, j) times value j added to value i, points in order.
TEST_P(Extrapolation, AllFourValueTypesApplyTheMatrixRowByRow) {
  const Rule& r = GetParam();
  List<double> s, so;
  List<Coord3> v, vo;
  List<Tensor6> t6, t6o;
  List<Tensor9> t9, t9o;
  auto field = [](int j, int c) { return std::sin(1.0 + j * 0.37 + c * 1.91); };
  for (int j = 0; j < r.points; ++j) {
    s.Append(field(j, 0));
    v.Append({field(j, 0), field(j, 1), field(j, 2)});
    Tensor6 a;
    for (int c = 0; c < 6; ++c) a.c[c] = field(j, c);
    t6.Append(a);
    Tensor9 b;
    for (int c = 0; c < 9; ++c) b.c[c] = field(j, c);
    t9.Append(b);
  }
  r.element->ExtrapolateScalar(s, so);
  r.element->ExtrapolateVector(v, vo);
  r.element->ExtrapolateTensor6(t6, t6o);
  r.element->ExtrapolateTensor9(t9, t9o);
  ASSERT_EQ(so.Count(), r.nodes);
  ASSERT_EQ(vo.Count(), r.nodes);
  ASSERT_EQ(t6o.Count(), r.nodes);
  ASSERT_EQ(t9o.Count(), r.nodes);
  for (int i = 0; i < r.nodes; ++i) {
    for (int c = 0; c < 9; ++c) {
      double want = 0;
      for (int j = 0; j < r.points; ++j) want += r.stored[i * r.points + j] * field(j, c);
      if (c == 0) {
        EXPECT_EQ(so[i], want);
      }
      if (c < 3) {
        EXPECT_EQ((&vo[i].x)[c], want);
      }
      if (c < 6) {
        EXPECT_EQ(t6o[i].c[c], want);
      }
      EXPECT_EQ(t9o[i].c[c], want);
    }
  }
}

// The fields are sampled at the rule's own points; every rule reproduces a
// linear field, and the quadratic tetrahedron's fits from 11 points on a
// quadratic one.
TEST_P(Extrapolation, ReproducesTheFieldsOfItsFitSpaceAtTheNodes) {
  const Rule& r = GetParam();
  const bool quadratic = r.nodes == 10 && r.points >= 11;
  auto field = [quadratic](Real x, Real y, Real z) {
    Real f = 0.7 - 1.3 * x + 2.1 * y + 0.4 * z;
    if (quadratic) f += 0.9 * x * x - 1.7 * y * z + 0.6 * z * z + 1.1 * x * y;
    return static_cast<double>(f);
  };
  List<double> in, out;
  for (const Point& p : r.rule(r.points)) in.Append(field(p.x, p.y, p.z));
  r.element->ExtrapolateScalar(in, out);
  ASSERT_EQ(out.Count(), r.nodes);
  for (int i = 0; i < r.nodes; ++i) {
    const Coord3& n = r.nodeCoords[i];
    EXPECT_NEAR(out[i], field(n.x, n.y, n.z), 1e-12) << "node " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryMatrix, Extrapolation, testing::ValuesIn(AllRules()), RuleName);

void ExpectRow(const double* row, std::vector<double> expected) {
  for (std::size_t j = 0; j < expected.size(); ++j) {
    EXPECT_NEAR(row[j], expected[j], 1e-5 * std::fabs(expected[j])) << "entry " << j;
  }
}

TEST(ExtrapolationMatrices, TellingRowsHaveTheirPublishedValues) {
  namespace t = Meshkit::tables;
  ExpectRow(t::kBrick8From8,
            {2.54904, -0.683013, -0.683013, 0.183013, -0.683013, 0.183013, 0.183013, -0.0490381});
  ExpectRow(t::kBrick8From27, {2.37499, -0.312463, -0.125588, -0.312463, -0.488239, 0.314815});
  ExpectRow(t::kBrick20From8 + 8 * 8,
            {0.933013, -0.25, -0.25, 0.0669873, 0.933013, -0.25, -0.25, 0.0669873});
  ExpectRow(t::kTetrahedral4From4, {1.92705, -0.309017, -0.309017, -0.309017});
  ExpectRow(t::kTetrahedral4From5, {0.2, 2.45, -0.55, -0.55, -0.55});
  ExpectRow(t::kTetrahedral10From5 + 4 * 5, {0.2, 0.95, 0.95, -0.55, -0.55});
  ExpectRow(t::kWedge6From6, {-1.36603, 1.36603, 1.36603, 0.366025, -0.366025, -0.366025});
  ExpectRow(t::kWedge6From12, {0.244708, -0.570984, -0.570984, 1.87609});
}

TEST(ExtrapolationCounts, OneValueIsCopiedAndUnknownCountsGiveZerosAfterAPrefilledOutput) {
  for (const Rule& r : AllRules()) {
    List<Tensor6> in, out;
    for (int k = 0; k < 9; ++k) out.Append(Tensor6{{1, 2, 3, 4, 5, 6}});  // pre-filled, too long
    in.Append(Tensor6{{-1.5, 2, 0, 7, 1e300, -0.0}});
    r.element->ExtrapolateTensor6(in, out);
    ASSERT_EQ(out.Count(), r.nodes);
    for (int i = 0; i < r.nodes; ++i) {
      for (int c = 0; c < 6; ++c) EXPECT_EQ(out[i].c[c], in[0].c[c]);
    }
    for (int m : {0, 2, 3, 7, 9, 100}) {
      List<double> sin, sout;
      for (int j = 0; j < m; ++j) sin.Append(1.0 + j);
      sout.Append(42);
      r.element->ExtrapolateScalar(sin, sout);
      ASSERT_EQ(sout.Count(), r.nodes) << r.name << " " << m;
      for (int i = 0; i < r.nodes; ++i) EXPECT_EQ(sout[i], 0.0);
    }
  }
  // Accepted counts of one class are not accepted by another.
  List<double> in, out;
  for (int j = 0; j < 6; ++j) in.Append(1);
  Meshkit::kBrick8.ExtrapolateScalar(in, out);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], 0.0);
}

TEST(ExtrapolationCounts, ClassesWithoutExtrapolationLeaveTheOutputAsPassed) {
  for (const Meshkit::ElemClass* e : {static_cast<const Meshkit::ElemClass*>(&Meshkit::kPyramid5),
                                      static_cast<const Meshkit::ElemClass*>(&Meshkit::kPyramid13),
                                      static_cast<const Meshkit::ElemClass*>(&Meshkit::kWedge15)}) {
    for (int m : {0, 1, 8, 27}) {
      List<double> s, so;
      List<Coord3> v, vo;
      List<Tensor6> t6, t6o;
      List<Tensor9> t9, t9o;
      for (int j = 0; j < m; ++j) {
        s.Append(1), v.Append({1, 2, 3}), t6.Append(Tensor6{{1}}), t9.Append(Tensor9{{1}});
      }
      so.Append(5), vo.Append({5, 6, 7}), t6o.Append(Tensor6{{5, 5}}), t9o.Append(Tensor9{{5}});
      e->ExtrapolateScalar(s, so);
      e->ExtrapolateVector(v, vo);
      e->ExtrapolateTensor6(t6, t6o);
      e->ExtrapolateTensor9(t9, t9o);
      ASSERT_EQ(so.Count(), 1);
      ASSERT_EQ(vo.Count(), 1);
      ASSERT_EQ(t6o.Count(), 1);
      ASSERT_EQ(t9o.Count(), 1);
      EXPECT_EQ(so[0], 5);
      EXPECT_EQ(vo[0].z, 7);
      EXPECT_EQ(t6o[0].c[1], 5);
      EXPECT_EQ(t9o[0].c[0], 5);
    }
  }
}

TEST(ExtrapolationCounts, Brick20MidsideNodesAverageTheirCornersFromEightPoints) {
  List<double> in, out;
  for (int j = 0; j < 8; ++j) in.Append(std::cos(3.0 * j));
  Meshkit::kBrick20.ExtrapolateScalar(in, out);
  for (int i = 8; i < 20; ++i) {
    int a, b;
    Meshkit::kBrick20.ParentCorners(i, a, b);
    EXPECT_NEAR(out[i], 0.5 * (out[a] + out[b]), 1e-14) << i;
  }
}

TEST(ExtrapolationCounts, AListWithRoomIsReusedWithoutGrowing) {
  List<Tensor9> in, out;
  for (int j = 0; j < 27; ++j) in.Append(Tensor9{{1.0 * j}});
  Meshkit::kBrick20.ExtrapolateTensor9(in, out);
  const Tensor9* storage = out.Data();
  const int capacity = out.Capacity();
  Meshkit::kBrick20.ExtrapolateTensor9(in, out);
  EXPECT_EQ(out.Data(), storage);
  EXPECT_EQ(out.Capacity(), capacity);
  List<double> small, smallOut;
  for (int j = 0; j < 4; ++j) small.Append(j);
  Meshkit::kTetrahedral4.ExtrapolateScalar(small, smallOut);
  EXPECT_TRUE(smallOut.IsInline());
}

}  // namespace

namespace {

TEST(VolumeAllocation, OnlyTheOutputListsOwnGrowthAllocates) {
  double values[60];
  List<double> s, so;
  List<Tensor9> t, to;
  for (int j = 0; j < 64; ++j) s.Append(j), t.Append(Tensor9{{1.0 * j}});
  for (const volume_test::Case& c : volume_test::kCases) {
    const std::size_t before = volume_test::AllocationCount();
    for (int k = 0; k < 100; ++k) {
      const Coord3 p = {0.1 * k - 5, 0.3, -0.7};
      c.element->ShapeFunctions(p, values);
      c.element->ShapeDerivatives(p, values);
      c.element->IsInside(p, 0.1);
      c.element->ClampToElement(p);
    }
    EXPECT_EQ(volume_test::AllocationCount(), before) << c.name;
  }
  // The 20 nodes outgrow the inline room once (6 -> 12 -> 24 elements: two
  // growths for a fresh list); a list with room is reused as it is.
  std::size_t before = volume_test::AllocationCount();
  Meshkit::kBrick20.ExtrapolateTensor9(t, to);
  EXPECT_EQ(volume_test::AllocationCount() - before, 2u);
  before = volume_test::AllocationCount();
  Meshkit::kBrick8.ExtrapolateScalar(s, so);
  EXPECT_EQ(volume_test::AllocationCount() - before,
            1u);  // 8 nodes: one growth beyond the inline six
  before = volume_test::AllocationCount();
  Meshkit::kBrick20.ExtrapolateTensor9(t, to);
  Meshkit::kBrick8.ExtrapolateScalar(s, so);
  EXPECT_EQ(volume_test::AllocationCount(), before);
}

}  // namespace
