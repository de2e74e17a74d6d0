#include "crack_life.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using crackrate::CrackrateModel;
using crackrate::LifeInput;
using crackrate::LifeMode;
using crackrate::LifeResult;
using crackrate::LifeStop;
using crackrate::LoadSegment;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The reference material (Kc = Kie = 60 with the flag set).
std::vector<double> ReferenceConstants() {
  return {0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3, 10000};
}

CrackrateModel Reference() {
  const std::vector<double> c = ReferenceConstants();
  return CrackrateModel(c.data(), static_cast<int>(c.size()), true);
}

LifeInput Input(const std::vector<LoadSegment>& segments, double initial, double final) {
  LifeInput in;
  in.segments = segments.data();
  in.segmentCount = segments.size();
  in.initial = initial;
  in.final = final;
  return in;
}

// The life as written, one cycle after the other, as a Python script
// writes it over Compute_Crackrate: the oracle of the exact mode.
struct WrittenLife {
  LifeStop stop;
  int64_t cycles;
  double a;
  std::vector<crackrate::LifePoint> history;
};

WrittenLife WrittenGrowth(CrackrateModel& model, const LifeInput& in) {
  double a = in.initial;
  int64_t n = in.start;
  WrittenLife life{LifeStop::kPassLimit, 0, 0.0, {{n, a}}};
  auto finish = [&](LifeStop stop) {
    if (life.history.back().cycles != n) life.history.push_back({n, a});
    life.stop = stop;
    life.cycles = n;
    life.a = a;
    return life;
  };
  for (int64_t pass = 0; pass < in.passLimit; ++pass) {
    const double before = a;
    for (size_t i = 0; i < in.segmentCount; ++i) {
      const LoadSegment& s = in.segments[i];
      for (int64_t c = 0; c < s.count; ++c) {
        if (a >= in.final) return finish(LifeStop::kFinalLength);
        const double Y = crackrate::GeometryFactor(in, a);
        const double dK = s.S * Y * std::sqrt(crackrate::kPi * a);
        if (dK / (1 - s.R) >= model.Value(crackrate::kKc)) return finish(LifeStop::kFracture);
        const int N = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        const double rate = model.Compute_Crackrate(dK, a, N, s.R);
        if (!(rate >= 0) || std::isinf(rate)) return finish(LifeStop::kNoRate);
        a += rate;
        ++n;
        if (in.recordInterval > 0 && (n - in.start) % in.recordInterval == 0) {
          life.history.push_back({n, a});
        }
      }
    }
    if (a == before) return finish(LifeStop::kArrest);
  }
  return finish(LifeStop::kPassLimit);
}

void ExpectSameState(const CrackrateModel& a, const CrackrateModel& b) {
  EXPECT_EQ(a.Overload().Kol, b.Overload().Kol);
  EXPECT_EQ(a.Overload().rpz, b.Overload().rpz);
  EXPECT_EQ(a.Overload().aol, b.Overload().aol);
}

// A random block spectrum: blocks of like cycles with single overloads and
// underloads between them.
std::vector<LoadSegment> RandomSpectrum(std::mt19937& rnd, double scale) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<LoadSegment> segments;
  const int blocks = 1 + static_cast<int>(u(rnd) * 5);
  for (int b = 0; b < blocks; ++b) {
    const double R = u(rnd) < 0.2 ? -0.5 * u(rnd) : 0.6 * u(rnd);
    segments.push_back({scale * (0.5 + u(rnd)), R, 1 + static_cast<int64_t>(u(rnd) * 3000)});
    if (u(rnd) < 0.6) segments.push_back({scale * (1.4 + u(rnd)), 0.1, 1});
  }
  return segments;
}

TEST(CrackLifeExact, MatchesTheWrittenLoopBitForBitOnRandomSpectraAndLeavesItsState) {
  std::mt19937 rnd(19);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int stops[crackrate::kLifeStopCount] = {};
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<double> c = ReferenceConstants();
    c.push_back(2 + 2 * u(rnd));            // Rso
    c[crackrate::kKie] = 30 + 40 * u(rnd);  // Kc
    c[crackrate::kDamp] = u(rnd) < 0.5 ? 10000 : 100 + 1000 * u(rnd);
    CrackrateModel ours(c.data(), static_cast<int>(c.size()), true);
    CrackrateModel theirs = ours;
    const std::vector<LoadSegment> segments = RandomSpectrum(rnd, 12 + 24 * u(rnd));
    LifeInput in = Input(segments, 0.05 + 0.1 * u(rnd), 0.2 + 0.6 * u(rnd));
    in.passLimit = 1 + static_cast<int64_t>(u(rnd) * 100);
    in.recordInterval = u(rnd) < 0.5 ? 0 : 1 + static_cast<int64_t>(u(rnd) * 500);
    in.start = u(rnd) < 0.5 ? 0 : static_cast<int64_t>(u(rnd) * 3e9);
    std::vector<double> tableA = {0.01, 0.5, 1.0, 1.4};
    std::vector<double> tableY = {1.0, 1.1 + 0.2 * u(rnd), 1.3, 1.5};
    if (u(rnd) < 0.3) {
      in.tableA = tableA.data();
      in.tableY = tableY.data();
      in.tableSize = tableA.size();
    } else {
      in.Y = 0.8 + 0.6 * u(rnd);
    }
    ASSERT_EQ(crackrate::CheckLifeInput(in), "");
    const LifeResult life = crackrate::GrowCrack(ours, in);
    const WrittenLife written = WrittenGrowth(theirs, in);
    ASSERT_EQ(life.stop, written.stop) << "trial " << trial;
    ASSERT_EQ(life.cycles, written.cycles) << "trial " << trial;
    ASSERT_EQ(life.length, written.a) << "trial " << trial;
    ASSERT_EQ(life.history.size(), written.history.size()) << "trial " << trial;
    for (size_t i = 0; i < life.history.size(); ++i) {
      ASSERT_EQ(life.history[i].cycles, written.history[i].cycles);
      ASSERT_EQ(life.history[i].length, written.history[i].length);
    }
    ExpectSameState(ours, theirs);
    ++stops[static_cast<int>(life.stop)];
  }
  // The random cases reach the final length, fracture and the pass limit.
  EXPECT_GT(stops[static_cast<int>(LifeStop::kFinalLength)], 0);
  EXPECT_GT(stops[static_cast<int>(LifeStop::kFracture)], 0);
  EXPECT_GT(stops[static_cast<int>(LifeStop::kPassLimit)], 0);
}

TEST(CrackLifeStops, FinalLengthAtTheFirstCycleThatReachesIt) {
  CrackrateModel model = Reference();
  const std::vector<LoadSegment> blocks = {{15, 0.1, 1000}};
  LifeInput in = Input(blocks, 0.05, 0.06);
  const LifeResult life = crackrate::GrowCrack(model, in);
  EXPECT_EQ(life.stop, LifeStop::kFinalLength);
  EXPECT_GE(life.length, 0.06);
  // One cycle fewer leaves it short: a life from the same start that is
  // limited to the cycles before the last one ends below the final length.
  CrackrateModel again = Reference();
  const std::vector<LoadSegment> shorter = {{15, 0.1, life.cycles - 1}};
  in = Input(shorter, 0.05, 0.06);
  in.passLimit = 1;
  EXPECT_LT(crackrate::GrowCrack(again, in).length, 0.06);
  // A crack already at its final length takes no cycle.
  in = Input(blocks, 0.06, 0.06);
  const LifeResult none = crackrate::GrowCrack(again, in);
  EXPECT_EQ(none.stop, LifeStop::kFinalLength);
  EXPECT_EQ(none.cycles, 0);
  EXPECT_EQ(none.history.size(), 1u);
}

TEST(CrackLifeStops, FractureBeforeTheCycleWhoseRateWouldBeInfiniteOrNegative) {
  CrackrateModel model = Reference();
  const std::vector<LoadSegment> blocks = {{40, 0.1, 1000}};
  LifeInput in = Input(blocks, 0.3, 2.0);
  in.start = 1000000;
  const LifeResult life = crackrate::GrowCrack(model, in);
  ASSERT_EQ(life.stop, LifeStop::kFracture);
  const double Kmax = 40 * std::sqrt(crackrate::kPi * life.length) / 0.9;
  EXPECT_GE(Kmax, 60.0);
  // The cycle that fractures was not taken: the state is the one before.
  EXPECT_LT(model.Overload().Kol, 60.0);
  EXPECT_LT(model.Overload().aol, life.length);
  // At that length the rate as written is no longer a positive number.
  const double dK = 40 * std::sqrt(crackrate::kPi * life.length);
  EXPECT_FALSE(model.Calc_Crackrate(dK, life.length, 1000000, 0.1, -1) > 0 &&
               std::isfinite(model.Calc_Crackrate(dK, life.length, 1000000, 0.1, -1)));
  // A crack past Kc from the start fractures at once.
  in = Input(blocks, 1.0, 2.0);
  const LifeResult at_once = crackrate::GrowCrack(model, in);
  EXPECT_EQ(at_once.stop, LifeStop::kFracture);
  EXPECT_EQ(at_once.cycles, 0);
}

TEST(CrackLifeStops, ArrestBelowTheThresholdAndUnderAnOverloadAndThePassLimit) {
  for (LifeMode mode : {LifeMode::kExact, LifeMode::kFast}) {
    // Below the threshold (N past the damping of the effective ratio).
    CrackrateModel model = Reference();
    const std::vector<LoadSegment> small = {{1, 0.1, 500}, {1.5, 0.1, 500}};
    LifeInput in = Input(small, 0.05, 0.6);
    in.start = 1000000;
    in.mode = mode;
    LifeResult life = crackrate::GrowCrack(model, in);
    EXPECT_EQ(life.stop, LifeStop::kArrest);
    EXPECT_EQ(life.cycles, 1001000);
    EXPECT_EQ(life.passes, 1);
    EXPECT_EQ(life.length, 0.05);
    // Held by an overload more than Rso times the peak of the cycles after
    // it: the first life records it, the second is arrested.
    const std::vector<LoadSegment> overload = {{30, 0.1, 1}};
    in = Input(overload, 0.1, 0.6);
    in.passLimit = 1;
    in.start = 1000000;
    in.mode = mode;
    life = crackrate::GrowCrack(model, in);
    EXPECT_EQ(life.stop, LifeStop::kPassLimit);
    EXPECT_EQ(life.cycles, 1000001);
    const std::vector<LoadSegment> after = {{9, 0.1, 2000}};
    in = Input(after, life.length, 0.6);
    in.start = life.cycles;
    in.mode = mode;
    const crackrate::OverloadState held = model.Overload();
    life = crackrate::GrowCrack(model, in);
    EXPECT_EQ(life.stop, LifeStop::kArrest);
    EXPECT_EQ(life.passes, 1);
    EXPECT_EQ(model.Overload().Kol, held.Kol);
    EXPECT_EQ(model.Overload().aol, held.aol);
    // The pass limit, far from the final length.
    const std::vector<LoadSegment> blocks = {{15, 0.1, 100}};
    in = Input(blocks, 0.05, 0.6);
    in.passLimit = 3;
    in.recordInterval = 100;
    in.mode = mode;
    life = crackrate::GrowCrack(model, in);
    EXPECT_EQ(life.stop, LifeStop::kPassLimit);
    EXPECT_EQ(life.cycles, 300);
    ASSERT_EQ(life.history.size(), 4u);
    EXPECT_EQ(life.history[2].cycles, 200);
  }
}

TEST(CrackLifeInput, RefusesEveryBadValueBeforeAnyCycle) {
  const std::vector<LoadSegment> good = {{15, 0.1, 10}};
  EXPECT_EQ(crackrate::CheckLifeInput(Input(good, 0.05, 0.6)), "");
  const std::vector<std::pair<std::vector<LoadSegment>, std::string>> spectra = {
      {{}, "no segments"},
      {{{15, 0.1, -1}}, "cycle count 0 is -1"},
      {{{15, 0.1, 0}}, "no cycles"},
      {{{kNaN, 0.1, 1}}, "stress range 0 is nan"},
      {{{15, 0.1, 1}, {-1, 0.1, 1}}, "stress range 1 is -1"},
      {{{15, 1.0, 1}}, "stress ratio 0 is 1"},
      {{{15, kNaN, 1}}, "stress ratio 0 is nan"},
  };
  for (const auto& row : spectra) {
    const std::string message = crackrate::CheckLifeInput(Input(row.first, 0.05, 0.6));
    EXPECT_NE(message.find(row.second), std::string::npos) << message;
  }
  EXPECT_NE(crackrate::CheckLifeInput(Input(good, 0.6, 0.05)).find("below the initial"),
            std::string::npos);
  EXPECT_NE(crackrate::CheckLifeInput(Input(good, 0, 0.6)), "");
  EXPECT_NE(crackrate::CheckLifeInput(Input(good, 0.05, kNaN)), "");
  LifeInput in = Input(good, 0.05, 0.6);
  in.passLimit = 0;
  EXPECT_NE(crackrate::CheckLifeInput(in), "");
  in = Input(good, 0.05, 0.6);
  in.Y = -1;
  EXPECT_NE(crackrate::CheckLifeInput(in), "");
  in = Input(good, 0.05, 0.6);
  in.passLimit = int64_t{1} << 61;
  EXPECT_NE(crackrate::CheckLifeInput(in).find("too many"), std::string::npos);
}

TEST(CrackLifeGeometry, TheYTableInterpolatesAndIsRefusedOutsideItsRangeOrUnordered) {
  const std::vector<LoadSegment> good = {{15, 0.1, 10}};
  std::vector<double> a = {0.0, 0.5, 1.0};
  std::vector<double> Y = {1.0, 1.2, 2.0};
  LifeInput in = Input(good, 0.05, 0.6);
  in.tableA = a.data();
  in.tableY = Y.data();
  in.tableSize = 3;
  EXPECT_EQ(crackrate::CheckLifeInput(in), "");
  EXPECT_EQ(crackrate::GeometryFactor(in, 0.25), 1.0 + 0.25 * 0.2 / 0.5);
  EXPECT_EQ(crackrate::GeometryFactor(in, 0.5), 1.2);
  EXPECT_EQ(crackrate::GeometryFactor(in, 0.75), 1.2 + 0.25 * (2.0 - 1.2) / 0.5);
  EXPECT_EQ(crackrate::GeometryFactor(in, 1.0), 2.0);
  in.final = 1.1;
  EXPECT_NE(crackrate::CheckLifeInput(in).find("does not cover"), std::string::npos);
  in.final = 0.6;
  a[1] = 0.0;
  EXPECT_NE(crackrate::CheckLifeInput(in).find("must increase"), std::string::npos);
  a[1] = 0.5;
  Y[2] = kNaN;
  EXPECT_NE(crackrate::CheckLifeInput(in), "");
  Y[2] = 2.0;
  in.tableSize = 1;
  EXPECT_NE(crackrate::CheckLifeInput(in).find("two points"), std::string::npos);
}

TEST(CrackLifeExact, TwoLivesInSuccessionAreOneLife) {
  CrackrateModel whole = Reference();
  CrackrateModel split = Reference();
  const std::vector<LoadSegment> blocks = {{30, 0.1, 700}, {50, 0.1, 1}, {24, 0.3, 300}};
  LifeInput in = Input(blocks, 0.05, 0.3);
  const LifeResult one = crackrate::GrowCrack(whole, in);
  ASSERT_EQ(one.stop, LifeStop::kFinalLength);
  in.final = 0.15;
  const LifeResult first = crackrate::GrowCrack(split, in);
  // The second life takes up the spectrum where the first stopped: the
  // rest of that pass as segments of their own, then whole passes.
  const int64_t pass = 1001;
  int64_t into = (first.cycles) % pass;
  std::vector<LoadSegment> rest;
  int64_t offset = 0;
  for (const LoadSegment& s : blocks) {
    const int64_t skip = std::min(s.count, std::max<int64_t>(0, into - offset));
    offset += s.count;
    if (s.count - skip > 0) rest.push_back({s.S, s.R, s.count - skip});
  }
  LifeInput tail = Input(rest, first.length, 0.3);
  tail.start = first.cycles;
  tail.passLimit = 1;
  LifeResult second = crackrate::GrowCrack(split, tail);
  if (second.stop == LifeStop::kPassLimit) {
    LifeInput passes = Input(blocks, second.length, 0.3);
    passes.start = second.cycles;
    second = crackrate::GrowCrack(split, passes);
  }
  EXPECT_EQ(second.cycles, one.cycles);
  EXPECT_EQ(second.length, one.length);
  ExpectSameState(whole, split);
}

// Cycles to the final length, fast against exact.
double FastError(const CrackrateModel& material, const std::vector<LoadSegment>& segments,
                 double initial, double final, double* evaluationsPerCycle) {
  CrackrateModel exact = material;
  CrackrateModel fast = material;
  LifeInput in = Input(segments, initial, final);
  const LifeResult e = crackrate::GrowCrack(exact, in);
  in.mode = LifeMode::kFast;
  const LifeResult f = crackrate::GrowCrack(fast, in);
  EXPECT_EQ(e.stop, f.stop);
  *evaluationsPerCycle = static_cast<double>(f.evaluations) / static_cast<double>(f.cycles);
  return std::fabs(static_cast<double>(f.cycles - e.cycles)) / static_cast<double>(e.cycles);
}

TEST(CrackLifeFast, WithinATenthOfAPercentOfTheExactLifeOnBlockSpectraWithOverloads) {
  std::mt19937 rnd(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double perCycle = 0.0;
  // The example's spectrum: blocks at 15 ksi, R 0.1.
  const std::vector<LoadSegment> example = {{15, 0.1, 1000}};
  EXPECT_LT(FastError(Reference(), example, 0.05, 0.6, &perCycle), 1e-3);
  EXPECT_LT(perCycle, 0.005);
  double worst = 0.0;
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<LoadSegment> segments;
    const int blocks = 1 + static_cast<int>(u(rnd) * 3);
    for (int b = 0; b < blocks; ++b) {
      segments.push_back(
          {20 + 8 * u(rnd), 0.4 * u(rnd), 2000 + static_cast<int64_t>(u(rnd) * 20000)});
      if (u(rnd) < 0.7) segments.push_back({38 + 5 * u(rnd), 0.1, 1});
    }
    const double error = FastError(Reference(), segments, 0.05, 0.3, &perCycle);
    worst = std::max(worst, error);
    EXPECT_LT(error, 1e-3) << "trial " << trial;
  }
  RecordProperty("worst_relative_error", std::to_string(worst));
  std::printf("worst relative error of the fast life: %.3g\n", worst);
}

}  // namespace
