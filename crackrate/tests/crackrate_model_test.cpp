#include "crackrate_model.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "written_tangent.h"

namespace {

using crackrate::CrackrateModel;
using crackrate_testing::WrittenFindTangentDK;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The reference material: UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q, DK1, Cthp,
// Cthm, Rcl, alfa, ratio, R, a0, np, damp.
std::vector<double> ReferenceConstants() {
  return {0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3, 10000};
}

CrackrateModel Make(std::vector<double> constants, bool flag = true) {
  return CrackrateModel(constants.data(), static_cast<int>(constants.size()), flag);
}

CrackrateModel Reference() { return Make(ReferenceConstants()); }

// The reference material with some entries changed.
CrackrateModel With(std::initializer_list<std::pair<int, double>> changes, bool flag = true) {
  std::vector<double> c = ReferenceConstants();
  c.push_back(crackrate::kDefaultRso);
  for (const auto& change : changes) c[change.first] = change.second;
  return Make(c, flag);
}

void ExpectRelative(double actual, double expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual, expected, std::fabs(expected) * tolerance) << "expected " << expected;
}

// Runs body in a child process and reports whether it finished within
// `seconds` (a hang is killed by the alarm).
bool FinishesWithin(unsigned seconds, const std::function<void()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(seconds);
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(CrackrateClosure, CoefficientsAndClosureLevelsOfTheTwoReferenceSets) {
  const CrackrateModel plain = With({{crackrate::kAlfa, 1}, {crackrate::kRatio, 0}});
  const double expected[4] = {0.535, 0, 0.395, 0.07};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(plain.ClosureCoefficient(i), expected[i], 1e-15);
  EXPECT_NEAR(plain.Setf(0), 0.535, 1e-15);
  EXPECT_NEAR(plain.Setf(-1), 0.535, 1e-15);
  EXPECT_NEAR(plain.Setf(0.5), 0.6425, 1e-15);
  EXPECT_NEAR(plain.Setf(0.9), 0.90598, 1e-15);

  const CrackrateModel r = Reference();  // alfa 2, ratio 0.3
  ExpectRelative(r.ClosureCoefficient(0), 0.3256563396, 1e-10);
  EXPECT_EQ(r.ClosureCoefficient(1), (0.415 - 0.071 * 2) * 0.3);
  ExpectRelative(r.ClosureCoefficient(3), -0.2667873207, 1e-9);
  ExpectRelative(r.ClosureCoefficient(2), 0.8592309811, 1e-10);
  ExpectRelative(r.Setf(0.1), 0.3421718621, 1e-10);
  // Where the polynomial falls below R the closure level is R itself.
  EXPECT_EQ(r.Setf(2.0), 2.0);
  // The angle literal, not pi/2: cos(pi/2 * 1) would be 6e-17, not 5e-16.
  const CrackrateModel right = With({{crackrate::kAlfa, 1}, {crackrate::kRatio, 1}});
  ExpectRelative(right.ClosureCoefficient(0), std::cos(1.570796326794895) * 0.535, 1e-12);
}

TEST(CrackrateModelValues, ConstantsFlagAndDefaults) {
  const CrackrateModel set = Reference();
  EXPECT_EQ(set.Value(crackrate::kRso), 3.0);
  EXPECT_EQ(set.Value(crackrate::kAlphag), 1.15);
  EXPECT_EQ(set.Value(crackrate::kKc), 60.0);
  EXPECT_EQ(set.Overload().Kol, 0.0);
  const CrackrateModel clear = With({{crackrate::kRso, 2.5}}, false);
  EXPECT_EQ(clear.Value(crackrate::kRso), 2.5);
  EXPECT_EQ(clear.Value(crackrate::kAlphag), 2.55);
  EXPECT_EQ(clear.Value(crackrate::kKc), 40.0);
  EXPECT_EQ(set.Paris(1), 1e-10);
  EXPECT_EQ(set.Paris(10), 1e-10 * std::pow(10.0, 3.0));
}

TEST(CrackrateThreshold, WorkedValuesAboveAndBelowTheLengthScale) {
  const CrackrateModel m = Reference();
  ExpectRelative(m.Calc_DKth(0.5, 0.1), 4.650298837, 1e-9);
  ExpectRelative(m.Calc_DKth(0.01, 0.1), 3.411240651, 1e-9);
  // At or below a0 the length factor is sqrt(0.5), whatever a is.
  EXPECT_EQ(m.Calc_DKth(0.0381, 0.1), m.Calc_DKth(1e-9, 0.1));
  // At R = 0: DK1 sqrt(s) / (1 - A0)^Cthp.
  const double s = 0.5 / (0.5 + 0.0381);
  ExpectRelative(m.Calc_DKth(0.5, 0), 5 * std::sqrt(s) / std::pow(1 - m.ClosureCoefficient(0), 0.1),
                 1e-15);
  // Below R = 0 the ratio exponent is Cthm, but (1 - A0) keeps Cthp.
  const CrackrateModel minus = With({{crackrate::kCthm, 0.4}});
  const double R = -0.5;
  const double f = minus.Setf(R);
  const double Q = (1 - R) / (1 - f * R);
  ExpectRelative(minus.Calc_DKth(0.5, R),
                 5 * std::sqrt(s) * std::pow(Q, 1 + 0.4 * R) /
                     std::pow(1 - minus.ClosureCoefficient(0), 0.1 - 0.4 * R),
                 1e-15);
}

TEST(CrackrateThreshold, DerivativeMatchesCentralDifferencesOnBothSidesOfZero) {
  const CrackrateModel m = With({{crackrate::kCthm, 0.4}, {crackrate::kCthp, 0.2}});
  for (double R : {-0.9, -0.5, -0.01, 0.01, 0.1, 0.4, 0.69, 0.8, 0.95}) {
    for (double a : {0.01, 0.5, 3.0}) {
      const double h = 1e-6;
      const double numeric = (m.Calc_DKth(a, R + h) - m.Calc_DKth(a, R - h)) / (2 * h);
      EXPECT_NEAR(m.dDKthbydReff(a, R), numeric, 1e-6 * (1 + std::fabs(numeric)))
          << "a " << a << " R " << R;
    }
  }
  // The closure level R above the polynomial, with -1/(R + 1) as d ln Q/dR.
  const CrackrateModel reference = Reference();
  for (double R : {1.5, 2.0}) {
    ASSERT_EQ(reference.Setf(R), R);
    const double h = 1e-6;
    const double numeric =
        (reference.Calc_DKth(0.5, R + h) - reference.Calc_DKth(0.5, R - h)) / (2 * h);
    EXPECT_NEAR(reference.dDKthbydReff(0.5, R), numeric, 1e-6 * (1 + std::fabs(numeric)));
  }
}

TEST(CrackrateEffectiveValues, EffectiveRatioAndStressIntensity) {
  const CrackrateModel m = Reference();
  EXPECT_EQ(m.CalcReff(0, 0.1), 0.7);
  EXPECT_EQ(m.CalcReff(0, -3), 0.7);
  ExpectRelative(m.CalcReff(10000, 0.1), 0.7 + (1 - std::exp(-1.0)) * (0.1 - 0.7), 1e-15);
  // 1000 and above select the stored R, which the ratio approaches.
  EXPECT_NEAR(m.CalcReff(1000000, 1000), 0.1, 1e-12);
  EXPECT_EQ(m.CalcReff(1000000, 5000), m.CalcReff(1000000, 1000));
  // The most negative count is negated without overflow.
  EXPECT_EQ(m.CalcReff(std::numeric_limits<int>::min(), 0.1), kInf);
  const CrackrateModel high = With({{crackrate::kR, 0.8}});
  for (int N : {0, 5, 100000}) {
    for (double x : {-1.0, 0.1, 0.9, 1000.0}) EXPECT_EQ(high.CalcReff(N, x), 0.8);
  }
  ExpectRelative(m.CalcKeff(10, 0, crackrate::kNoRatio), 9.583284355, 1e-9);
  EXPECT_EQ(m.CalcKeff(10, 0, 0.1), 10 * (1 - m.Setf(0.1)) / (1 - 0.1));
  // Above 100 the ratio is the effective stored ratio; 100 itself is used.
  EXPECT_EQ(m.CalcKeff(10, 7, 100.5), m.CalcKeff(10, 7, m.CalcReff(7, 1000)));
  EXPECT_EQ(m.CalcKeff(10, 7, 100), 10 * (1 - m.Setf(100)) / (1 - 100));
}

TEST(CrackrateRate, WorkedRatesAndTheThresholdChoices) {
  const CrackrateModel m = Reference();
  ExpectRelative(m.Calc_Crackrate(10, 0.5, 1000000, 1000, -1), 3.505223014e-08, 1e-9);
  EXPECT_EQ(m.Calc_Crackrate(4, 0.5, 1000000, 1000, -1), 0.0);
  // The defaults mean the stored R; 100 and NaN select it as well.
  const double stored = m.Calc_Crackrate(10, 0.5, 1000000, 0.1, -1);
  EXPECT_EQ(m.Calc_Crackrate(10, 0.5, 1000000, 100, -1), stored);
  EXPECT_EQ(m.Calc_Crackrate(10, 0.5, 1000000, kNaN, -1), stored);
  EXPECT_NE(m.Calc_Crackrate(10, 0.5, 1000000, 99.0, -1), stored);
  // A given threshold of 0 is used: the threshold factor is 1.
  const double Reff = m.CalcReff(1000000, 0.1);
  const double Kmax = 4 / (1 - 0.1);
  EXPECT_EQ(m.Calc_Crackrate(4, 0.5, 1000000, 0.1, 0.0), m.CalcRateCurve(4, Reff, 0.0, Kmax));
  EXPECT_GT(m.Calc_Crackrate(4, 0.5, 1000000, 0.1, 0.0), 0.0);
  // Kmax comes from R, not from the effective ratio.
  EXPECT_EQ(m.Calc_Crackrate(10, 0.5, 1000000, 0.1, 4.0),
            m.CalcRateCurve(10, Reff, 4.0, 10 / (1 - 0.1)));
}

TEST(CrackrateRate, NearTheTangentRatioThePowerLawGivesGrowthBelowTheThreshold) {
  const CrackrateModel m = Reference();
  // N = 0: the effective ratio is 0.7, inside the band.
  const double DKth = m.Calc_DKth(0.5, 0.7);
  const double Kmax = 2.0 / (1 - 0.1);
  double l = 0;
  ASSERT_TRUE(WrittenFindTangentDK(m, DKth + 0.001, std::sqrt(60 * DKth), 0.7, DKth, Kmax, &l));
  ASSERT_GT(l, DKth);
  const double h = std::exp(std::log(m.CalcRateCurve(l, 0.7, DKth, Kmax)) - 3 * std::log(l));
  const double below = m.Calc_Crackrate(2.0, 0.5, 0, 0.1, -1);
  ASSERT_LT(2.0, DKth);
  EXPECT_GT(below, 0.0);
  ExpectRelative(below, h * std::pow(2.0, 3.0), 1e-12);
  // Above the tangent point the rate curve applies again.
  const double above = 1.5 * l;
  EXPECT_EQ(m.Calc_Crackrate(above, 0.5, 0, 0.1, -1),
            m.CalcRateCurve(above, 0.7, DKth, above / 0.9));
  // A stored R above 0.7 is the effective ratio: inside the band at 0.74,
  // outside at 0.76.
  EXPECT_GT(With({{crackrate::kR, 0.74}}).Calc_Crackrate(0.5, 0.5, 0, 0.74, -1), 0.0);
  EXPECT_EQ(With({{crackrate::kR, 0.76}}).Calc_Crackrate(0.5, 0.5, 0, 0.76, -1), 0.0);
}

TEST(CrackrateTangent, AgreesWithTheWrittenBisectionWhereverItEnds) {
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int compared = 0;
  for (int i = 0; i < 4000; ++i) {
    const CrackrateModel m = With({{crackrate::kN, 1 + 4 * unit(rng)},
                                   {crackrate::kP, 2 * unit(rng)},
                                   {crackrate::kQ, 2 * unit(rng)},
                                   {crackrate::kNp, 1 + 6 * unit(rng)},
                                   {crackrate::kKie, 20 + 80 * unit(rng)}});
    const double DKth = 0.5 + 6 * unit(rng);
    const double R = 0.65 + 0.1 * unit(rng);
    const double Kmax = DKth * (1 + 3 * unit(rng));
    // Brackets of every kind: ordinary, reversed, tiny, from zero up.
    const double lo = i % 7 == 0 ? 0.0 : DKth + 0.001 * unit(rng);
    const double hi = i % 5 == 0 ? lo - unit(rng) : lo + 50 * unit(rng);
    double written;
    if (!WrittenFindTangentDK(m, lo, hi, R, DKth, Kmax, &written, 2000)) continue;
    const double ours = m.FindTangentDK(lo, hi, R, DKth, Kmax);
    if (std::isnan(written)) {
      EXPECT_TRUE(std::isnan(ours));
    } else {
      EXPECT_EQ(ours, written) << "case " << i;
    }
    ++compared;
  }
  EXPECT_GT(compared, 3000);
}

TEST(CrackrateTangent, BracketsOnWhichTheWrittenBisectionNeverEndsStop) {
  const CrackrateModel m = Reference();
  const double DKth = m.Calc_DKth(0.5, 0.7);
  // An infinite upper end (Kc = inf), a lower end of 0 (tolerance 0) and
  // a negative one (tolerance below every width).
  const double hangs[][2] = {{DKth + 0.001, kInf}, {0.0, 10.0}, {-1.0, 10.0}, {-1.0, -1.0}};
  for (const auto& bracket : hangs) {
    double unused;
    ASSERT_FALSE(WrittenFindTangentDK(m, bracket[0], bracket[1], 0.7, DKth, 2.0, &unused));
    EXPECT_TRUE(FinishesWithin(5,
                               [&] {
                                 volatile double r =
                                     m.FindTangentDK(bracket[0], bracket[1], 0.7, DKth, 2.0);
                                 (void)r;
                               }))
        << bracket[0] << " " << bracket[1];
  }
  // Through the rate: Kc = inf, and a zero threshold under a 0.7 ratio.
  const CrackrateModel infiniteKc = With({{crackrate::kKie, kInf}});
  EXPECT_TRUE(FinishesWithin(5, [&] {
    volatile double r = infiniteKc.Calc_Crackrate(5, 0.5, 0, 0.1, -1);
    (void)r;
  }));
  // A large Kc puts the tangent bracket where doubles are spaced wider
  // than its tolerance.
  const CrackrateModel largeKc = With({{crackrate::kKie, 1e30}});
  const double largeDKth = largeKc.Calc_DKth(0.5, 0.7);
  double unused;
  ASSERT_FALSE(WrittenFindTangentDK(largeKc, largeDKth + 0.001, std::sqrt(1e30 * largeDKth), 0.7,
                                    largeDKth, 5 / 0.9, &unused));
  EXPECT_TRUE(FinishesWithin(5, [&] {
    volatile double r = largeKc.Calc_Crackrate(5, 0.5, 0, 0.1, -1);
    (void)r;
  }));
}

// A history recorder: the model and the rate of each cycle.
struct History {
  CrackrateModel model = Reference();
  double Cycle(double dK, double a, double R = 0.1, int N = 1000000) {
    return model.Compute_Crackrate(dK, a, N, R);
  }
  double Zone(double Kmax) const {
    const double z = Kmax / (1.15 * 50);
    return 1.570796326794895 / 4 * (z * z);
  }
};

TEST(CrackrateOverload, RecordsFirstLargerAndOutOfZoneCycles) {
  History h;
  const double first = h.Cycle(20, 0.5);
  EXPECT_EQ(first, h.model.Calc_Crackrate(20, 0.5, 1000000, 0.1, -1));
  EXPECT_EQ(h.model.Overload().Kol, 20 / 0.9);
  EXPECT_EQ(h.model.Overload().aol, 0.5);
  EXPECT_EQ(h.model.Overload().rpz, h.Zone(20 / 0.9));
  // A larger peak re-records.
  h.Cycle(30, 0.51);
  EXPECT_EQ(h.model.Overload().Kol, 30 / 0.9);
  EXPECT_EQ(h.model.Overload().aol, 0.51);
  // A smaller one beyond the zone re-records as well.
  const double beyond = 0.51 + h.Zone(30 / 0.9) * 1.01;
  EXPECT_EQ(h.Cycle(15, beyond), h.model.Calc_Crackrate(15, beyond, 1000000, 0.1, -1));
  EXPECT_EQ(h.model.Overload().Kol, 15 / 0.9);
  EXPECT_EQ(h.model.Overload().aol, beyond);
  // Where the reduced overload has fallen to the cycle's peak it records.
  h.model.SetKol();
  h.Cycle(20, 0.5);
  const double rpz = h.model.Overload().rpz;
  const double d = rpz * (1 - 0.6 * 0.6);  // Kred = 0.6 Kol exactly in reals
  h.Cycle(12.5, 0.5 + d * 1.0001);
  EXPECT_EQ(h.model.Overload().Kol, 12.5 / 0.9);
}

TEST(CrackrateOverload, ArrestAboveRsoAndTheSolverJustBelow) {
  // R = 0: Kmax is dK, and Kol/Kmax = 3 exactly.
  History h;
  h.Cycle(30, 0.5, 0.0);
  const crackrate::OverloadState before = h.model.Overload();
  // Kol slightly above 3 Kmax: growth stops, the state stays.
  EXPECT_EQ(h.Cycle(10 * 0.999, 0.5, 0.0), 0.0);
  // Kol = 3 Kmax is not above Rso: the retarded ratio gives the rate.
  const double dK = 10.0;
  const double Kmax = dK;
  const double Kred = before.Kol * std::sqrt(1 - 0.0 / before.rpz);
  const crackrate::RetardedRatio r = h.model.SolveRetardedR(0.5, Kred - Kmax, dK, Kmax, Kmax - dK);
  EXPECT_LE(r.steps, crackrate::kSolverSteps);
  const double retarded = h.Cycle(dK, 0.5, 0.0);
  EXPECT_EQ(retarded, h.model.Calc_Crackrate(dK, 0.5, 1000000, r.r, -1));
  EXPECT_GT(retarded, 0.0);
  EXPECT_LT(retarded, h.model.Calc_Crackrate(dK, 0.5, 1000000, 0.0, -1));
  EXPECT_EQ(h.model.Overload().Kol, before.Kol);
  EXPECT_EQ(h.model.Overload().aol, before.aol);
  EXPECT_EQ(h.model.Overload().rpz, before.rpz);
  // The solved pair satisfies both equations.
  const double F1 = (Kmax - dK - r.k) / (Kmax - r.k) - r.r;
  const double F2 = (Kred - Kmax) * (1 - h.model.Calc_DKth(0.5, r.r) / dK) / 2 - r.k;
  EXPECT_LE(std::sqrt(F1 * F1 + F2 * F2), 1e-10);
  EXPECT_GT(r.steps, 0);
}

TEST(CrackrateOverload, UnloadedCyclesRatiosOfOneHundredAndSetKol) {
  History h;
  h.Cycle(20, 0.5);
  const crackrate::OverloadState before = h.model.Overload();
  EXPECT_EQ(h.Cycle(1e-12, 0.6), 0.0);
  EXPECT_EQ(h.model.Overload().Kol, before.Kol);
  EXPECT_EQ(h.model.Overload().aol, before.aol);
  // 100 is used unchanged (Kmax = 20/(1 - 100) < 0 < Kol: not recorded,
  // and below 1e-10: no growth); above 100 the stored R returns.
  EXPECT_EQ(h.Cycle(20, 0.7, 100.0), 0.0);
  EXPECT_EQ(h.model.Overload().Kol, before.Kol);
  h.Cycle(30, 0.7, 100.5);
  EXPECT_EQ(h.model.Overload().Kol, 30 / 0.9);
  // After SetKol any cycle with Kmax >= 0 is the overload.
  h.model.SetKol();
  EXPECT_EQ(h.model.Overload().Kol, 0.0);
  EXPECT_EQ(h.model.Overload().rpz, 0.0);
  EXPECT_EQ(h.model.Overload().aol, 0.0);
  h.Cycle(0.0, 0.8);
  EXPECT_EQ(h.model.Overload().Kol, 0.0);
  EXPECT_EQ(h.model.Overload().aol, 0.8);
}

TEST(CrackrateOverload, SolverStopsAfterItsStepLimitOnDegenerateInput) {
  const CrackrateModel m = Reference();
  EXPECT_EQ(m.SolveRetardedR(0.5, kNaN, 10, 11, 1).steps, crackrate::kSolverSteps);
  const CrackrateModel one = With({{crackrate::kRso, 1.0}});
  EXPECT_EQ(one.SolveRetardedR(0.5, 5, 10, 11, 1).steps, crackrate::kSolverSteps);
  // A start point that already solves the pair takes no step.
  const crackrate::RetardedRatio none = m.SolveRetardedR(0.5, 0.0, 10, 10, 0);
  EXPECT_EQ(none.steps, 0);
  EXPECT_EQ(none.r, 0.0);
  EXPECT_TRUE(FinishesWithin(5, [&] {
    CrackrateModel degenerate = With({{crackrate::kRso, 1.0}, {crackrate::kYS, kInf}});
    for (int i = 0; i < 100; ++i) degenerate.Compute_Crackrate(30.0 - i * 0.1, 0.5, 0, 0.1);
  }));
}

}  // namespace
