#include "column_tensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

using hexad::Principal;
using hexad::SolvePrincipal;

const double kRoot2 = std::sqrt(0.5);

void ExpectDirection(const Principal& p, int k, double x, double y, double z,
                     double tolerance = 1e-15) {
  EXPECT_NEAR(p.directions[0][k], x, tolerance) << "direction " << k;
  EXPECT_NEAR(p.directions[1][k], y, tolerance) << "direction " << k;
  EXPECT_NEAR(p.directions[2][k], z, tolerance) << "direction " << k;
}

// (row, column) entry of the full symmetric matrix of a column tensor.
double Entry(const double t[6], int row, int col) {
  static const int kIndex[3][3] = {{0, 3, 5}, {3, 1, 4}, {5, 4, 2}};
  return t[kIndex[row][col]];
}

TEST(ColumnTensorMeasures, UniaxialState) {
  const double t[6] = {1, 0, 0, 0, 0, 0};
  EXPECT_EQ(hexad::J2(t), 2 * 0.1666666667);
  EXPECT_EQ(hexad::EffectiveStress(t), 1.0);
  EXPECT_DOUBLE_EQ(hexad::EffectiveStrain(t), 2.0 / 3.0);
  EXPECT_EQ(hexad::Norm(t), 1.0);
}

TEST(ColumnTensorMeasures, PureShear) {
  const double t[6] = {0, 0, 0, 1, 0, 0};
  EXPECT_DOUBLE_EQ(hexad::Norm(t), std::sqrt(2.0));
  EXPECT_EQ(hexad::I2(t), -1.0);
  EXPECT_EQ(hexad::J2(t), 1.0);
  EXPECT_DOUBLE_EQ(hexad::EffectiveStress(t), std::sqrt(3.0));
  EXPECT_DOUBLE_EQ(hexad::EffectiveStrain(t), std::sqrt(1.0 / 3.0));
}

TEST(ColumnTensorMeasures, InvariantsOfAFullTensor) {
  const double t[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(hexad::I1(t), 6.0);
  // (1*2 - 36) + (2*3 - 16) + (1*3 - 25)
  EXPECT_EQ(hexad::I2(t), -66.0);
  // 6 + 240 - 25 - 72 - 48
  EXPECT_EQ(hexad::I3(t), 101.0);
  // Off-diagonal entries stand for both symmetric positions.
  EXPECT_DOUBLE_EQ(hexad::Norm(t), std::sqrt(14.0 + 2 * 77.0));
  const double ones[6] = {1, 1, 1, 1, 1, 1};
  EXPECT_EQ(hexad::Contract(t, ones), 21.0);
}

TEST(ColumnTensorMeasures, DeviatoricPartHasNoTrace) {
  const double t[6] = {1, 2, 3, 4, 5, 6};
  double d[6];
  hexad::DeviatoricPart(t, d);
  const double expected[6] = {-1, 0, 1, 4, 5, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(d[i], expected[i]);
  EXPECT_EQ(hexad::I1(d), 0.0);
  // The deviatoric part has the same second deviatoric invariant.
  EXPECT_NEAR(hexad::J2(d), hexad::J2(t), 1e-9);
}

TEST(ColumnTensorMeasures, EffectiveStressIsRootOfThreeJ2) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-100, 100);
  for (int n = 0; n < 1000; ++n) {
    double t[6];
    for (double& c : t) c = u(rng);
    const double s = hexad::EffectiveStress(t);
    EXPECT_NEAR(s * s, 3 * hexad::J2(t), 1e-8 * s * s + 1e-12);
  }
}

TEST(ColumnTensorMeasures, NonFiniteComponentsPropagate) {
  const double t[6] = {NAN, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::isnan(hexad::Norm(t)));
  EXPECT_TRUE(std::isnan(hexad::EffectiveStress(t)));
  const double u[6] = {INFINITY, 0, 0, 0, 0, 0};
  EXPECT_EQ(hexad::I1(u), INFINITY);
}

TEST(PrincipalValues, DiagonalTensorIsOnlySorted) {
  const double t[6] = {1, 3, 2, 0, 0, 0};
  const Principal p = SolvePrincipal(t);
  EXPECT_EQ(p.sweeps, 0);
  EXPECT_EQ(p.values[0], 3.0);
  EXPECT_EQ(p.values[1], 2.0);
  EXPECT_EQ(p.values[2], 1.0);
  ExpectDirection(p, 0, 0, 1, 0, 0);
  ExpectDirection(p, 1, 0, 0, 1, 0);
  ExpectDirection(p, 2, 1, 0, 0, 0);
}

TEST(PrincipalValues, EqualValuesKeepTheirOrder) {
  for (double c : {0.0, 2.5, -4.0}) {
    const double t[6] = {c, c, c, 0, 0, 0};
    const Principal p = SolvePrincipal(t);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(p.values[k], c);
    ExpectDirection(p, 0, 1, 0, 0, 0);
    ExpectDirection(p, 1, 0, 1, 0, 0);
    ExpectDirection(p, 2, 0, 0, 1, 0);
  }
  // Two equal values among three: the first of them stays first.
  const double t[6] = {2, 1, 2, 0, 0, 0};
  const Principal p = SolvePrincipal(t);
  ExpectDirection(p, 0, 1, 0, 0, 0);
  ExpectDirection(p, 1, 0, 0, 1, 0);
  ExpectDirection(p, 2, 0, 1, 0, 0);
}

TEST(PrincipalValues, FullTensor) {
  const double t[6] = {1, 2, 3, 4, 5, 6};
  const Principal p = SolvePrincipal(t);
  EXPECT_NEAR(p.values[0], 12.12839341, 1e-8);
  EXPECT_NEAR(p.values[1], -2.03379136, 1e-8);
  EXPECT_NEAR(p.values[2], -4.09460205, 1e-8);
  EXPECT_GT(p.sweeps, 0);
  EXPECT_LT(p.sweeps, hexad::kMaxSweeps);
}

TEST(PrincipalValues, PureShear) {
  const double t[6] = {0, 0, 0, 1, 0, 0};
  const Principal p = SolvePrincipal(t);
  EXPECT_NEAR(p.values[0], 1.0, 1e-15);
  EXPECT_NEAR(p.values[1], 0.0, 1e-15);
  EXPECT_NEAR(p.values[2], -1.0, 1e-15);
  ExpectDirection(p, 0, kRoot2, kRoot2, 0);
  ExpectDirection(p, 1, 0, 0, 1);
  ExpectDirection(p, 2, kRoot2, -kRoot2, 0);
}

// A NaN among the off-diagonal components keeps the off-diagonal sum from
// reaching zero: the solver runs its bounded number of sweeps and returns
// NaNs rather than looping.
TEST(PrincipalValues, NaNRunsAllSweepsAndStops) {
  const double t[6] = {1, 2, 3, NAN, 5, 6};
  const Principal p = SolvePrincipal(t);
  EXPECT_EQ(p.sweeps, hexad::kMaxSweeps);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(std::isnan(p.values[k]));
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(std::isnan(p.directions[r][k]));
  }
  const double all[6] = {NAN, NAN, NAN, NAN, NAN, NAN};
  const Principal q = SolvePrincipal(all);
  EXPECT_EQ(q.sweeps, hexad::kMaxSweeps);
  for (double v : q.values) EXPECT_TRUE(std::isnan(v));
  // A NaN on the diagonal spreads through the first rotation.
  const double diagonal[6] = {NAN, 2, 3, 4, 0, 0};
  const Principal r = SolvePrincipal(diagonal);
  EXPECT_EQ(r.sweeps, hexad::kMaxSweeps);
  for (double v : r.values) EXPECT_TRUE(std::isnan(v));
}

// On random tensors: descending values, orthonormal directions, A v = d v,
// and the invariants of the principal tensor match the tensor's own.
TEST(PrincipalValues, RandomTensorsDecompose) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> u(-1000, 1000);
  for (int n = 0; n < 5000; ++n) {
    double t[6];
    for (double& c : t) c = u(rng);
    if (n % 5 == 0) t[3] = 0;  // some with zero shear components
    if (n % 7 == 0) t[4] = t[5] = 0;
    const Principal p = SolvePrincipal(t);
    ASSERT_LT(p.sweeps, hexad::kMaxSweeps);
    ASSERT_GE(p.values[0], p.values[1]);
    ASSERT_GE(p.values[1], p.values[2]);
    const double scale = hexad::Norm(t);
    for (int k = 0; k < 3; ++k) {
      for (int m = 0; m < 3; ++m) {
        double dot = 0;
        for (int r = 0; r < 3; ++r) dot += p.directions[r][k] * p.directions[r][m];
        ASSERT_NEAR(dot, k == m ? 1.0 : 0.0, 1e-13);
      }
      for (int r = 0; r < 3; ++r) {
        double av = 0;
        for (int c = 0; c < 3; ++c) av += Entry(t, r, c) * p.directions[c][k];
        ASSERT_NEAR(av, p.values[k] * p.directions[r][k], 1e-12 * scale);
      }
    }
    const double diag[6] = {p.values[0], p.values[1], p.values[2], 0, 0, 0};
    ASSERT_NEAR(hexad::I1(diag), hexad::I1(t), 1e-12 * scale);
    ASSERT_NEAR(hexad::I2(diag), hexad::I2(t), 1e-12 * scale * scale);
    ASSERT_NEAR(hexad::I3(diag), hexad::I3(t), 1e-11 * scale * scale * scale);
  }
}

TEST(PrincipalValues, InputIsNotChanged) {
  const double t[6] = {1, 2, 3, 4, 5, 6};
  double copy[6];
  for (int i = 0; i < 6; ++i) copy[i] = t[i];
  SolvePrincipal(copy);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(copy[i], t[i]);
}

TEST(ColumnTensorTraction, IsTheFullSymmetricMatrixAppliedToTheNormal) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> uniform(-1e3, 1e3);
  for (int round = 0; round < 1000; ++round) {
    double t[6], n[3], w[3];
    for (double& x : t) x = uniform(rng);
    for (double& x : n) x = uniform(rng);
    hexad::Traction(t, n, w);
    for (int row = 0; row < 3; ++row) {
      const double literal =
          Entry(t, row, 0) * n[0] + Entry(t, row, 1) * n[1] + Entry(t, row, 2) * n[2];
      ASSERT_EQ(w[row], literal) << round << " " << row;
    }
    hexad::Traction(t, n, n);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(n[i], w[i]) << round;
  }
}

TEST(PrincipalValues, LanesInLockstepGiveEachTensorsOwnBits) {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> uniform(-1e3, 1e3);
  std::uniform_int_distribution<int> pick(0, 11);
  const double specials[] = {0.0, -0.0, std::nan(""), HUGE_VAL, -HUGE_VAL, 5e-324, 1.0};
  for (int round = 0; round < 20000; ++round) {
    double t[hexad::kPrincipalLanes * hexad::kComponents];
    for (double& x : t) {
      const int k = pick(rng);
      x = k < 7 ? specials[k] : uniform(rng);
    }
    if (round % 3 == 0) t[3] = t[4] = t[5] = 0.0;  // one lane stops before the others
    Principal lanes[hexad::kPrincipalLanes];
    hexad::SolvePrincipalLanes(t, lanes);
    for (int l = 0; l < hexad::kPrincipalLanes; ++l) {
      const Principal alone = SolvePrincipal(t + l * hexad::kComponents);
      ASSERT_EQ(std::memcmp(alone.values, lanes[l].values, sizeof alone.values), 0) << round;
      ASSERT_EQ(std::memcmp(alone.directions, lanes[l].directions, sizeof alone.directions), 0)
          << round;
      ASSERT_EQ(alone.sweeps, lanes[l].sweeps) << round;
    }
  }
}

}  // namespace
