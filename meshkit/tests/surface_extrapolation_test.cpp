// Extrapolation from integration points to nodes for the four surface
// classes: the stored matrices against the least-squares rule they come from,
// recomputed here from the point positions, and the extrapolation steps for
// every value type.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "surface/surface_extrapolation_tables.h"
#include "surface_cases.h"

namespace {

using namespace surface_testing;
using Meshkit::Coord3;
using Meshkit::List;
using Meshkit::Tensor6;
using Meshkit::Tensor9;

using Term = std::function<double(const Coord2&)>;

const std::vector<Term> kLinear = {[](const Coord2&) { return 1.0; },
                                   [](const Coord2& p) { return p.r; },
                                   [](const Coord2& p) { return p.s; }};
const std::vector<Term> kQuadratic = {
    [](const Coord2&) { return 1.0; },         [](const Coord2& p) { return p.r; },
    [](const Coord2& p) { return p.s; },       [](const Coord2& p) { return p.r * p.r; },
    [](const Coord2& p) { return p.r * p.s; }, [](const Coord2& p) { return p.s * p.s; }};
const std::vector<Term> kBilinear = {
    [](const Coord2&) { return 1.0; }, [](const Coord2& p) { return p.r; },
    [](const Coord2& p) { return p.s; }, [](const Coord2& p) { return p.r * p.s; }};
const std::vector<Term> kSerendipity = {[](const Coord2&) { return 1.0; },
                                        [](const Coord2& p) { return p.r; },
                                        [](const Coord2& p) { return p.s; },
                                        [](const Coord2& p) { return p.r * p.s; },
                                        [](const Coord2& p) { return p.r * p.r; },
                                        [](const Coord2& p) { return p.s * p.s; },
                                        [](const Coord2& p) { return p.r * p.r * p.s; },
                                        [](const Coord2& p) { return p.r * p.s * p.s; }};

// Barycentric coordinates (value of corner function k) to (r, s): node 0 is
// r, node 1 is s.
Coord2 FromBarycentric(double b0, double b1) { return {b0, b1}; }

// An orbit point with `own` at node j and `other` at the other two.
Coord2 OneDistinct(int j, double own, double other) {
  double b[3] = {other, other, other};
  b[j] = own;
  return FromBarycentric(b[0], b[1]);
}

std::vector<Coord2> TrianglePoints(int m) {
  const double third = 1.0 / 3.0;
  std::vector<Coord2> p;
  if (m == 3) return {{0.5, 0.5}, {0.0, 0.5}, {0.5, 0.0}};
  p.push_back({third, third});
  if (m == 4) {
    for (int j = 0; j < 3; ++j) p.push_back(OneDistinct(j, 0.6, 0.2));
  } else if (m == 7) {
    const double r15 = std::sqrt(15.0);
    for (int j = 0; j < 3; ++j) p.push_back(OneDistinct(j, (9 - 2 * r15) / 21, (6 + r15) / 21));
    for (int j = 0; j < 3; ++j) p.push_back(OneDistinct(j, (9 + 2 * r15) / 21, (6 - r15) / 21));
  } else {
    for (int j = 0; j < 3; ++j) p.push_back(OneDistinct(j, 0.479308067841920, 0.260345966079040));
    for (int j = 0; j < 3; ++j) p.push_back(OneDistinct(j, 0.869739794195568, 0.065130102902216));
    const int at[6][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}, {1, 0, 2}, {0, 2, 1}, {2, 1, 0}};
    for (const auto& nodes : at) {
      double b[3];
      b[nodes[0]] = 0.638444188569810;
      b[nodes[1]] = 0.312865496004874;
      b[nodes[2]] = 0.048690315425316;
      p.push_back(FromBarycentric(b[0], b[1]));
    }
  }
  return p;
}

std::vector<Coord2> QuadrilateralPoints(int m) {
  if (m == 4) {
    const double g = 1.0 / std::sqrt(3.0);
    return {{-g, -g}, {g, -g}, {-g, g}, {g, g}};
  }
  const double h = std::sqrt(0.6);
  std::vector<Coord2> p;
  for (double s : {-h, 0.0, h}) {
    for (double r : {-h, 0.0, h}) p.push_back({r, s});
  }
  return p;
}

// E (V^T V)^-1 V^T, by Gauss-Jordan elimination on the normal equations.
std::vector<double> LeastSquares(const std::vector<Coord2>& points,
                                 const std::vector<Coord2>& nodes, const std::vector<Term>& space) {
  const int m = static_cast<int>(points.size()), p = static_cast<int>(space.size());
  const int n = static_cast<int>(nodes.size());
  // A = V^T V augmented with V^T: solve A X = V^T, X is p by m.
  std::vector<std::vector<double>> a(p, std::vector<double>(p + m, 0.0));
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) {
      for (int q = 0; q < m; ++q) a[i][j] += space[i](points[q]) * space[j](points[q]);
    }
    for (int q = 0; q < m; ++q) a[i][p + q] = space[i](points[q]);
  }
  for (int col = 0; col < p; ++col) {
    int pivot = col;
    for (int i = col + 1; i < p; ++i) {
      if (std::fabs(a[i][col]) > std::fabs(a[pivot][col])) pivot = i;
    }
    std::swap(a[col], a[pivot]);
    const double d = a[col][col];
    for (double& v : a[col]) v /= d;
    for (int i = 0; i < p; ++i) {
      if (i == col) continue;
      const double f = a[i][col];
      for (int j = 0; j < p + m; ++j) a[i][j] -= f * a[col][j];
    }
  }
  std::vector<double> result(n * m, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int q = 0; q < m; ++q) {
      for (int t = 0; t < p; ++t) result[i * m + q] += space[t](nodes[i]) * a[t][p + q];
    }
  }
  return result;
}

// Half a unit in the sixth significant digit of x, plus room for the
// residues of an entry that is exactly zero.
double SixDigitTolerance(double x) {
  if (std::fabs(x) < 1e-12) return 1e-12;
  return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(x))) - 5) * (1 + 1e-9) + 1e-12;
}

struct MatrixCase {
  int element;  // index into AllElements()
  int points;
  const double* stored;
  const std::vector<Term>* space;
};

std::vector<MatrixCase> AllMatrices() {
  namespace t = Meshkit::surface_tables;
  return {
      {0, 3, t::kTriangle3From3, &kLinear},        {0, 4, t::kTriangle3From4, &kLinear},
      {0, 7, t::kTriangle3From7, &kLinear},        {0, 13, t::kTriangle3From13, &kLinear},
      {1, 3, t::kTriangle6From3, &kLinear},        {1, 4, t::kTriangle6From4, &kLinear},
      {1, 7, t::kTriangle6From7, &kQuadratic},     {1, 13, t::kTriangle6From13, &kQuadratic},
      {2, 4, t::kQuadrilateral4From4, &kBilinear}, {2, 9, t::kQuadrilateral4From9, &kBilinear},
      {3, 4, t::kQuadrilateral8From4, &kBilinear}, {3, 9, t::kQuadrilateral8From9, &kSerendipity}};
}

std::vector<Coord2> PointsFor(const ElementCase& c, int m) {
  return c.triangle ? TrianglePoints(m) : QuadrilateralPoints(m);
}

TEST(SurfaceExtrapolationTest, StoredMatricesAreTheLeastSquaresRuleToSixDigits) {
  for (const MatrixCase& mc : AllMatrices()) {
    const ElementCase& c = AllElements()[mc.element];
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(mc.points));
    const std::vector<double> exact = LeastSquares(PointsFor(c, mc.points), c.positions, *mc.space);
    for (int i = 0; i < c.nodes * mc.points; ++i) {
      EXPECT_NEAR(mc.stored[i], exact[i], SixDigitTolerance(exact[i]))
          << "row " << i / mc.points << " column " << i % mc.points;
    }
  }
}

TEST(SurfaceExtrapolationTest, UnitInputsReadBackEveryStoredEntry) {
  for (const MatrixCase& mc : AllMatrices()) {
    const ElementCase& c = AllElements()[mc.element];
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(mc.points));
    for (int j = 0; j < mc.points; ++j) {
      List<double> in, out;
      for (int q = 0; q < mc.points; ++q) in.Append(q == j ? 1.0 : 0.0);
      c.element->ExtrapolateScalar(in, out);
      ASSERT_EQ(out.Count(), c.nodes);
      for (int i = 0; i < c.nodes; ++i) EXPECT_EQ(out[i], mc.stored[i * mc.points + j]);
    }
  }
}

TEST(SurfaceExtrapolationTest, LinearFieldsAreReproducedWithinTheMatricesRounding) {
  for (const MatrixCase& mc : AllMatrices()) {
    const ElementCase& c = AllElements()[mc.element];
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(mc.points));
    auto field = [](const Coord2& p) { return 3.0 - 2.0 * p.r + 5.0 * p.s; };
    List<double> in, out;
    for (const Coord2& p : PointsFor(c, mc.points)) in.Append(field(p));
    c.element->ExtrapolateScalar(in, out);
    for (int i = 0; i < c.nodes; ++i) {
      double tolerance = 1e-12;
      for (int j = 0; j < mc.points; ++j) {
        tolerance += std::fabs(in[j]) * SixDigitTolerance(mc.stored[i * mc.points + j]);
      }
      EXPECT_NEAR(out[i], field(c.positions[i]), tolerance) << "node " << i;
    }
  }
}

TEST(SurfaceExtrapolationTest, EdgeMidpointValuesOfALinearTriangleGiveTheCornerValues) {
  const double a = 2.0, b = -1.0, c = 7.0;
  List<double> in, out;
  for (double v : {(a + b) / 2, (b + c) / 2, (c + a) / 2}) in.Append(v);
  Meshkit::kTriangle3.ExtrapolateScalar(in, out);
  EXPECT_EQ(out[0], a);
  EXPECT_EQ(out[1], b);
  EXPECT_EQ(out[2], c);
}

// The value types, each with a way to build a value whose components all
// differ and to read component k.
template <class T>
struct Components;
template <>
struct Components<double> {
  static constexpr int kCount = 1;
  static double Make(double seed) { return seed; }
  static double Get(const double& v, int) { return v; }
  static void Run(const SurfElemClass& e, const List<double>& in, List<double>& out) {
    e.ExtrapolateScalar(in, out);
  }
};
template <>
struct Components<Coord3> {
  static constexpr int kCount = 3;
  static Coord3 Make(double seed) { return {seed, 2 * seed + 1, -seed}; }
  static double Get(const Coord3& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }
  static void Run(const SurfElemClass& e, const List<Coord3>& in, List<Coord3>& out) {
    e.ExtrapolateVector(in, out);
  }
};
template <>
struct Components<Tensor6> {
  static constexpr int kCount = 6;
  static Tensor6 Make(double seed) {
    Tensor6 t;
    for (int k = 0; k < 6; ++k) t.c[k] = seed * (k + 1) - k;
    return t;
  }
  static double Get(const Tensor6& v, int k) { return v.c[k]; }
  static void Run(const SurfElemClass& e, const List<Tensor6>& in, List<Tensor6>& out) {
    e.ExtrapolateTensor6(in, out);
  }
};
template <>
struct Components<Tensor9> {
  static constexpr int kCount = 9;
  static Tensor9 Make(double seed) {
    Tensor9 t;
    for (int k = 0; k < 9; ++k) t.c[k] = seed * (k - 4) + 0.5 * k;
    return t;
  }
  static double Get(const Tensor9& v, int k) { return v.c[k]; }
  static void Run(const SurfElemClass& e, const List<Tensor9>& in, List<Tensor9>& out) {
    e.ExtrapolateTensor9(in, out);
  }
};

template <class T>
class SurfaceExtrapolationTypedTest : public ::testing::Test {};
using ValueTypes = ::testing::Types<double, Coord3, Tensor6, Tensor9>;
TYPED_TEST_SUITE(SurfaceExtrapolationTypedTest, ValueTypes);

TYPED_TEST(SurfaceExtrapolationTypedTest, EachComponentIsExtrapolatedLikeAScalar) {
  using C = Components<TypeParam>;
  for (const MatrixCase& mc : AllMatrices()) {
    const ElementCase& c = AllElements()[mc.element];
    SCOPED_TRACE(std::string(c.name) + " m=" + std::to_string(mc.points));
    List<TypeParam> in, out;
    for (int q = 0; q < mc.points; ++q) in.Append(C::Make(0.37 * q - 1.0));
    C::Run(*c.element, in, out);
    ASSERT_EQ(out.Count(), c.nodes);
    for (int k = 0; k < C::kCount; ++k) {
      List<double> scalarIn, scalarOut;
      for (int q = 0; q < mc.points; ++q) scalarIn.Append(C::Get(in[q], k));
      c.element->ExtrapolateScalar(scalarIn, scalarOut);
      for (int i = 0; i < c.nodes; ++i) EXPECT_EQ(C::Get(out[i], k), scalarOut[i]);
    }
  }
}

TYPED_TEST(SurfaceExtrapolationTypedTest, OneValueIsCopiedAndCountsWithoutAMatrixGiveZeros) {
  using C = Components<TypeParam>;
  for (const ElementCase& c : AllElements()) {
    SCOPED_TRACE(c.name);
    List<TypeParam> in, out;
    for (int i = 0; i < 10; ++i) out.Append(C::Make(99.0 + i));
    in.Append(C::Make(2.5));
    C::Run(*c.element, in, out);
    ASSERT_EQ(out.Count(), c.nodes);
    for (int i = 0; i < c.nodes; ++i) {
      for (int k = 0; k < C::kCount; ++k) EXPECT_EQ(C::Get(out[i], k), C::Get(in[0], k));
    }
    const std::vector<int> withMatrix =
        c.triangle ? std::vector<int>{1, 3, 4, 7, 13} : std::vector<int>{1, 4, 9};
    for (int m = 0; m <= 14; ++m) {
      if (std::find(withMatrix.begin(), withMatrix.end(), m) != withMatrix.end()) continue;
      in.Clear();
      for (int q = 0; q < m; ++q) in.Append(C::Make(1.0 + q));
      out.Clear();
      for (int i = 0; i < 12; ++i) out.Append(C::Make(-5.0));
      C::Run(*c.element, in, out);
      ASSERT_EQ(out.Count(), c.nodes) << m;
      ASSERT_EQ(in.Count(), m);
      for (int i = 0; i < c.nodes; ++i) {
        for (int k = 0; k < C::kCount; ++k) EXPECT_EQ(C::Get(out[i], k), 0.0) << m;
      }
      for (int q = 0; q < m; ++q) EXPECT_EQ(C::Get(in[q], 0), C::Get(C::Make(1.0 + q), 0));
    }
  }
}

}  // namespace
