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

}  // namespace
