// The integration rules of both families: each integrates the monomials of
// its degree exactly on its class's natural domain, its points lie in the
// domain, and values sampled from a field at its points extrapolate to the
// field's nodal values where the field lies in what the matrix reproduces.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <meshkit/meshkit.h>
#include <meshkit/quadrature.h>

#include "surface_cases.h"
#include "volume_cases.h"

namespace {

using Meshkit::Coord3;
using Meshkit::IntegrationRule;
using Meshkit::IntegrationRuleSet;

double Factorial(int n) { return n <= 1 ? 1.0 : n * Factorial(n - 1); }

// Integral of t^a over [lo, 1].
double Interval(int a, double lo) {
  if (lo == 0) return 1.0 / (a + 1);
  return a % 2 ? 0.0 : 2.0 / (a + 1);
}
double TriangleMoment(int a, int b) { return Factorial(a) * Factorial(b) / Factorial(a + b + 2); }

// The exact integral of x^a y^b z^c over a volume domain (kTriangle and
// kSquare: the surface domains, c = 0).
enum class Shape { kTetrahedron, kCube11, kCube01, kPrism01, kPrism11, kTriangle, kSquare };

double Moment(Shape s, int a, int b, int c) {
  switch (s) {
    case Shape::kTetrahedron:
      return Factorial(a) * Factorial(b) * Factorial(c) / Factorial(a + b + c + 3);
    case Shape::kCube11:
      return Interval(a, -1) * Interval(b, -1) * Interval(c, -1);
    case Shape::kCube01:
      return Interval(a, 0) * Interval(b, 0) * Interval(c, 0);
    case Shape::kPrism01:
      return TriangleMoment(a, b) * Interval(c, 0);
    case Shape::kPrism11:
      return TriangleMoment(a, b) * Interval(c, -1);
    case Shape::kTriangle:
      return c ? 0.0 : TriangleMoment(a, b);
    case Shape::kSquare:
      return c ? 0.0 : Interval(a, -1) * Interval(b, -1);
  }
  return 0;
}

struct RuleCase {
  std::string name;
  IntegrationRuleSet rules;
  Shape shape;
  int dimensions;
  std::vector<int> counts;
};

std::vector<RuleCase> AllRuleCases() {
  std::vector<RuleCase> out;
  const Shape volumeShape[] = {Shape::kTetrahedron, Shape::kTetrahedron, Shape::kCube11,
                               Shape::kCube11,      Shape::kPrism01,     Shape::kPrism11,
                               Shape::kCube01,      Shape::kCube11};
  const std::vector<int> volumeCounts[] = {{4, 5, 11, 15, 24}, {4, 5, 11, 15, 24}, {8, 27, 64},
                                           {8, 27, 64},        {6, 12, 28, 48},    {21},
                                           {8, 27, 64},        {8, 27, 64}};
  int k = 0;
  for (const volume_test::Case& c : volume_test::kCases) {
    out.push_back(
        {c.name, Meshkit::IntegrationRules(*c.element), volumeShape[k], 3, volumeCounts[k]});
    ++k;
  }
  for (const surface_testing::ElementCase& c : surface_testing::AllElements()) {
    out.push_back({c.name, Meshkit::IntegrationRules(*c.element),
                   c.triangle ? Shape::kTriangle : Shape::kSquare, 2,
                   c.triangle ? std::vector<int>{3, 4, 7, 13} : std::vector<int>{4, 9}});
  }
  return out;
}

class Rules : public testing::TestWithParam<RuleCase> {};

TEST_P(Rules, OfferTheirCountsInOrderAndFindEachByCount) {
  const RuleCase& c = GetParam();
  ASSERT_EQ(c.rules.count, static_cast<int>(c.counts.size()));
  ASSERT_GE(c.rules.own, 0);
  ASSERT_LT(c.rules.own, c.rules.count);
  for (int k = 0; k < c.rules.count; ++k) EXPECT_EQ(c.rules.rules[k].points, c.counts[k]);
}

TEST_P(Rules, IntegrateEveryMonomialOfTheirDegreeExactly) {
  const RuleCase& c = GetParam();
  for (int k = 0; k < c.rules.count; ++k) {
    const IntegrationRule& rule = c.rules.rules[k];
    const int d = rule.degree;
    for (int a = 0; a <= d; ++a) {
      for (int b = 0; a + b <= d; ++b) {
        for (int e = 0; a + b + e <= d && (e == 0 || c.dimensions == 3); ++e) {
          double sum = 0;
          for (int q = 0; q < rule.points; ++q) {
            const Coord3& p = rule.positions[q];
            sum += rule.weights[q] * std::pow(p.x, a) * std::pow(p.y, b) * std::pow(p.z, e);
          }
          const double exact = Moment(c.shape, a, b, e);
          EXPECT_NEAR(sum, exact, 2e-14 * Moment(c.shape, 0, 0, 0))
              << rule.points << " points, x^" << a << " y^" << b << " z^" << e;
        }
      }
    }
  }
}

TEST_P(Rules, MissOneDegreeHigher) {
  // The degree given is the rule's own, not a lower bound that happens to
  // hold: some monomial of the next degree is not integrated exactly.
  const RuleCase& c = GetParam();
  for (int k = 0; k < c.rules.count; ++k) {
    const IntegrationRule& rule = c.rules.rules[k];
    const int d = rule.degree + 1;
    double worst = 0;
    for (int a = 0; a <= d; ++a) {
      for (int b = 0; a + b <= d; ++b) {
        const int e = d - a - b;
        if (e > 0 && c.dimensions == 2) continue;
        double sum = 0;
        for (int q = 0; q < rule.points; ++q) {
          const Coord3& p = rule.positions[q];
          sum += rule.weights[q] * std::pow(p.x, a) * std::pow(p.y, b) * std::pow(p.z, e);
        }
        worst = std::max(worst, std::fabs(sum - Moment(c.shape, a, b, e)));
      }
    }
    EXPECT_GT(worst, 1e-10) << rule.points << " points";
  }
}

std::string RuleCaseName(const testing::TestParamInfo<RuleCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(BothFamilies, Rules, testing::ValuesIn(AllRuleCases()), RuleCaseName);

TEST(Rules, PointsLieInTheirClassesDomains) {
  for (const volume_test::Case& c : volume_test::kCases) {
    const IntegrationRuleSet set = Meshkit::IntegrationRules(*c.element);
    for (int k = 0; k < set.count; ++k) {
      for (int q = 0; q < set.rules[k].points; ++q) {
        EXPECT_TRUE(c.element->IsInside(set.rules[k].positions[q], 1e-15))
            << c.name << " " << set.rules[k].points << " points, point " << q;
      }
    }
  }
  for (const surface_testing::ElementCase& c : surface_testing::AllElements()) {
    const IntegrationRuleSet set = Meshkit::IntegrationRules(*c.element);
    for (int k = 0; k < set.count; ++k) {
      for (int q = 0; q < set.rules[k].points; ++q) {
        EXPECT_TRUE(c.element->IsInside(set.rules[k].positions[q], 1e-15)) << c.name;
        EXPECT_EQ(set.rules[k].positions[q].z, 0.0);
      }
    }
  }
}

TEST(Rules, LookupByCountFindsNothingForOtherCountsOrForeignClasses) {
  EXPECT_EQ(Meshkit::FindIntegrationRule(Meshkit::kBrick8, 7), nullptr);
  EXPECT_EQ(Meshkit::FindIntegrationRule(Meshkit::kBrick8, 1), nullptr);
  EXPECT_EQ(Meshkit::FindIntegrationRule(Meshkit::kTriangle6, 9), nullptr);
  const IntegrationRule* rule = Meshkit::FindIntegrationRule(Meshkit::kBrick20, 27);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->points, 27);
  // A caller's own class, derived from a base, has no rules.
  struct Own : Meshkit::SECTriangle3 {};
  const Own own;
  EXPECT_EQ(Meshkit::IntegrationRules(own).count, 0);
  EXPECT_EQ(Meshkit::FindIntegrationRule(own, 4), nullptr);
}

// Extrapolation from the rules' own points. For each class and count, a
// field the matrix reproduces and that lies in the element's span: random
// nodal values where the fit space holds the whole span, else a random
// trilinear (bricks) or linear polynomial.
enum class Field { kNodal, kTrilinear, kLinear };

struct ExtrapolationCase {
  const volume_test::Case* element;
  int points;
  Field field;
};

std::vector<ExtrapolationCase> VolumeExtrapolationCases() {
  const volume_test::Case* c = volume_test::kCases;
  std::vector<ExtrapolationCase> out;
  for (int m : {4, 5, 11, 15, 24}) out.push_back({&c[0], m, Field::kNodal});
  for (int m : {4, 5}) out.push_back({&c[1], m, Field::kLinear});
  for (int m : {11, 15, 24}) out.push_back({&c[1], m, Field::kNodal});
  for (int m : {6, 12, 28, 48}) out.push_back({&c[4], m, Field::kNodal});
  for (int m : {8, 27, 64}) out.push_back({&c[6], m, Field::kNodal});
  out.push_back({&c[7], 8, Field::kTrilinear});
  for (int m : {27, 64}) out.push_back({&c[7], m, Field::kNodal});
  return out;
}

TEST(RulesAndExtrapolation, VolumeFieldsAtTheRulesPointsGiveTheirNodalValues) {
  std::mt19937_64 rng(23);
  std::uniform_real_distribution<double> u(-1, 1);
  for (const ExtrapolationCase& t : VolumeExtrapolationCases()) {
    const volume_test::Case& c = *t.element;
    const IntegrationRule* rule = Meshkit::FindIntegrationRule(*c.element, t.points);
    ASSERT_NE(rule, nullptr) << c.name << " " << t.points;
    double coefficient[8], nodal[20];
    for (double& v : coefficient) v = u(rng);
    for (double& v : nodal) v = u(rng);
    auto field = [&](const Coord3& p) {
      if (t.field == Field::kNodal) {
        double n[20];
        const int count = c.element->ShapeFunctions(p, n);
        double f = 0;
        for (int i = 0; i < count; ++i) f += n[i] * nodal[i];
        return f;
      }
      double f =
          coefficient[0] + coefficient[1] * p.x + coefficient[2] * p.y + coefficient[3] * p.z;
      if (t.field == Field::kTrilinear) {
        f += coefficient[4] * p.x * p.y + coefficient[5] * p.y * p.z + coefficient[6] * p.z * p.x +
             coefficient[7] * p.x * p.y * p.z;
      }
      return f;
    };
    Meshkit::List<double> in, out;
    for (int q = 0; q < rule->points; ++q) in.Append(field(rule->positions[q]));
    c.element->ExtrapolateScalar(in, out);
    ASSERT_EQ(out.Count(), c.nodes);
    for (int i = 0; i < c.nodes; ++i) {
      EXPECT_NEAR(out[i], field(c.nodeCoords[i]), 1e-12)
          << c.name << " from " << t.points << ", node " << i;
    }
  }
}

TEST(RulesAndExtrapolation, SurfaceFieldsAtTheRulesPointsGiveTheirNodalValues) {
  // The surface matrices are stored to six digits: agreement to 1e-5. The
  // 6- and 8-node classes reproduce their whole span from their larger
  // rules (7 and 13, 9 points), every class a linear field from any rule.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  for (const surface_testing::ElementCase& c : surface_testing::AllElements()) {
    const IntegrationRuleSet set = Meshkit::IntegrationRules(*c.element);
    for (int k = 0; k < set.count; ++k) {
      const IntegrationRule& rule = set.rules[k];
      const bool whole = c.nodes == c.corners || rule.points >= (c.triangle ? 7 : 9);
      double nodal[8];
      for (double& v : nodal) v = u(rng);
      const double a = u(rng), b = u(rng), d = u(rng);
      auto field = [&](const Meshkit::Coord2& p) {
        if (!whole) return a + b * p.r + d * p.s;
        double n[8];
        const int count = c.element->ShapeFunctions(p, n);
        double f = 0;
        for (int i = 0; i < count; ++i) f += n[i] * nodal[i];
        return f;
      };
      Meshkit::List<double> in, out;
      for (int q = 0; q < rule.points; ++q) in.Append(field(rule.positions[q]));
      c.element->ExtrapolateScalar(in, out);
      ASSERT_EQ(out.Count(), c.nodes);
      for (int i = 0; i < c.nodes; ++i) {
        EXPECT_NEAR(out[i], field(c.positions[i]), 1e-5)
            << c.name << " from " << rule.points << ", node " << i;
      }
    }
  }
}

}  // namespace
