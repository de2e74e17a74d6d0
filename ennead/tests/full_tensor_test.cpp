#include "full_tensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "literal_product.h"

namespace {

constexpr double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// Same value bit for bit, or both NaN.
bool Same(double x, double y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  return std::memcmp(&x, &y, sizeof x) == 0;
}

TEST(FullTensorProduct, IdentityOnEitherSideGivesTheOtherOperand) {
  const double b[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  double left[9], right[9];
  ennead::Product(kIdentity, b, left);
  ennead::Product(b, kIdentity, right);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(left[i], b[i]) << i;
    EXPECT_EQ(right[i], b[i]) << i;
  }
}

TEST(FullTensorProduct, IsTheLeftRowWithTheRightColumnAndDoesNotCommute) {
  double a[9] = {}, b[9] = {}, ab[9], ba[9];
  a[ennead::Index(0, 1)] = 1;  // xy
  b[ennead::Index(1, 0)] = 1;  // yx
  ennead::Product(a, b, ab);
  ennead::Product(b, a, ba);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(ab[i], i == ennead::kXX ? 1.0 : 0.0) << i;
    EXPECT_EQ(ba[i], i == ennead::kYY ? 1.0 : 0.0) << i;
  }
}

TEST(FullTensorProduct, SumsEachEntryLeftToRight) {
  // Row (1e16, 1, -1e16) with column (1, 1, 1): (1e16 + 1) - 1e16 is 0
  // when summed from the left, 1 in any order that adds the large terms
  // first.
  double a[9] = {}, b[9] = {}, out[9];
  a[0] = 1e16;
  a[1] = 1;
  a[2] = -1e16;
  b[0] = b[3] = b[6] = 1;
  ennead::Product(a, b, out);
  EXPECT_EQ(out[0], (1e16 + 1.0) - 1e16);
}

TEST(FullTensorProduct, MatchesTheLiteralProductOnRandomAndNonFiniteTensors) {
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> uniform(-1e3, 1e3);
  std::uniform_int_distribution<int> pick(0, 15);
  const double specials[] = {0.0,
                             -0.0,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             1e308,
                             -5e-324};
  for (int round = 0; round < 200000; ++round) {
    double a[9], b[9];
    for (int i = 0; i < 9; ++i) {
      const int ka = pick(rng), kb = pick(rng);
      a[i] = ka < 7 ? specials[ka] : uniform(rng);
      b[i] = kb < 7 ? specials[kb] : uniform(rng);
    }
    double fast[9], literal[9];
    ennead::Product(a, b, fast);
    ennead_testing::LiteralProduct(a, b, literal);
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(Same(fast[i], literal[i])) << round << " " << i;
  }
}

TEST(FullTensorProduct, ResultMayOverwriteEitherOperand) {
  double a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 10};
  double b[9] = {-1, 0.5, 2, 3, -4, 1, 0, 2, 1};
  double expected[9];
  ennead::Product(a, b, expected);
  double left[9], right[9];
  std::memcpy(left, a, sizeof a);
  std::memcpy(right, b, sizeof b);
  ennead::Product(left, b, left);
  ennead::Product(a, right, right);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(left[i], expected[i]) << i;
    EXPECT_EQ(right[i], expected[i]) << i;
  }
}

// A well-conditioned random tensor: the identity times 4 plus entries in
// [-1, 1], so that its determinant stays far from 0.
void RandomRegular(std::mt19937_64& rng, double a[9]) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (int i = 0; i < 9; ++i) a[i] = uniform(rng) + (i % 4 == 0 ? 4.0 : 0.0);
}

TEST(FullTensorAlgebra, InverseTimesTheTensorIsTheIdentityAndDeterminantsMultiply) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 1000; ++round) {
    double a[9], b[9], inv[9], left[9], right[9], ab[9];
    RandomRegular(rng, a);
    RandomRegular(rng, b);
    ennead::Inverse(a, inv);
    ennead::Product(inv, a, left);
    ennead::Product(a, inv, right);
    for (int i = 0; i < 9; ++i) {
      ASSERT_NEAR(left[i], kIdentity[i], 1e-14) << round << " " << i;
      ASSERT_NEAR(right[i], kIdentity[i], 1e-14) << round << " " << i;
    }
    ennead::Product(a, b, ab);
    const double det = ennead::Determinant(a) * ennead::Determinant(b);
    ASSERT_NEAR(ennead::Determinant(ab), det, 1e-12 * std::fabs(det)) << round;
  }
}

TEST(FullTensorAlgebra, DeterminantExpandsAlongTheFirstRowAsDocumented) {
  const double a[9] = {2, -1, 3, 0.5, 4, -2, 1, 1e-3, 7};
  const double expected = a[0] * (a[4] * a[8] - a[5] * a[7]) + a[1] * (a[5] * a[6] - a[3] * a[8]) +
                          a[2] * (a[3] * a[7] - a[4] * a[6]);
  EXPECT_TRUE(Same(ennead::Determinant(a), expected));
  const double triangular[9] = {2, 5, 7, 0, 3, 11, 0, 0, 4};
  EXPECT_EQ(ennead::Determinant(triangular), 24.0);
  EXPECT_EQ(ennead::Trace(triangular), 9.0);
}

TEST(FullTensorAlgebra, SingularTensorsInvertToNonFiniteEntriesWithoutTrapping) {
  const double rankTwo[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  double inv[9];
  EXPECT_EQ(ennead::Determinant(rankTwo), 0.0);
  ennead::Inverse(rankTwo, inv);
  for (double x : inv) EXPECT_FALSE(std::isfinite(x));
  const double zero[9] = {};
  ennead::Inverse(zero, inv);
  for (double x : inv) EXPECT_TRUE(std::isnan(x));
}

TEST(FullTensorAlgebra, TransposeAndInverseMayOverwriteTheirOperand) {
  double a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 10};
  double t[9], inv[9], copy[9];
  ennead::Transpose(a, t);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(t[ennead::Index(r, c)], a[ennead::Index(c, r)]);
  }
  ennead::Inverse(a, inv);
  std::memcpy(copy, a, sizeof a);
  ennead::Transpose(copy, copy);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(copy[i], t[i]);
  std::memcpy(copy, a, sizeof a);
  ennead::Inverse(copy, copy);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(Same(copy[i], inv[i]));
}

TEST(FullTensorAlgebra, ApplyIsTheProductWithTheVectorAsAColumn) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> uniform(-1e3, 1e3);
  for (int round = 0; round < 1000; ++round) {
    double a[9], column[9] = {}, v[3], w[3], literal[9];
    for (double& x : a) x = uniform(rng);
    for (int i = 0; i < 3; ++i) column[3 * i] = v[i] = uniform(rng);
    ennead::Apply(a, v, w);
    ennead_testing::LiteralProduct(a, column, literal);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Same(w[i], literal[3 * i])) << round;
    ennead::Apply(a, v, v);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Same(v[i], w[i])) << round;
  }
}

}  // namespace
