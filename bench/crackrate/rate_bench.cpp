// Native time per call of the crack growth rate's branches (plain curve,
// near-0.7 tangent, below threshold; overload record, retarded solver,
// arrest) and of SolveRetardedR alone, on the reference material. The
// solver benchmarks report the Newton steps they took as a counter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "crackrate_model.h"

namespace {

using crackrate::CrackrateModel;

// UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q, DK1, Cthp, Cthm, Rcl, alfa, ratio,
// R, a0, np, damp.
const double kReference[20] = {0, 50,  60,  40,  1, 1,   1e-10, 3,      0.5, 1,
                               5, 0.1, 0.1, 0.7, 2, 0.3, 0.1,   0.0381, 3,   10000};

CrackrateModel Reference() { return CrackrateModel(kReference, 20, true); }

void Rate(benchmark::State& state, double dK, int N) {
  const CrackrateModel m = Reference();
  double a = 0.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(m.Calc_Crackrate(dK, a, N, crackrate::kNoRatio, -1.0));
  }
}
BENCHMARK_CAPTURE(Rate, PlainCurve, 10.0, 1000000);
BENCHMARK_CAPTURE(Rate, NearTangentRatio, 2.0, 0);
BENCHMARK_CAPTURE(Rate, BelowThreshold, 4.0, 1000000);

// Compute_Crackrate on a model holding an overload of Kmax 30 at a = 0.5
// (R = 0): a cycle of 20 re-records, 10 goes through the solver, 9 is
// arrested.
void Retarded(benchmark::State& state, double dK) {
  CrackrateModel m = Reference();
  m.Compute_Crackrate(30, 0.5, 1000000, 0.0);
  const crackrate::OverloadState held = m.Overload();
  for (auto _ : state) {
    m.RestoreOverload(held);
    benchmark::DoNotOptimize(m.Compute_Crackrate(dK, 0.5001, 1000000, 0.0));
  }
}
BENCHMARK_CAPTURE(Retarded, Record, 40.0);
BENCHMARK_CAPTURE(Retarded, Solver, 10.0);
BENCHMARK_CAPTURE(Retarded, Arrest, 9.0);

// The solver alone on the cycles of a typical retarded history: overload
// peaks of 20 to 35, later cycles between a third and all of the reduced
// peak, at depths across the zone.
struct SolverCase {
  double a, B, dK, Kmax, Kmin;
};

std::vector<SolverCase> TypicalCases(const CrackrateModel& m) {
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<SolverCase> cases;
  while (cases.size() < 1024) {
    const double Kol = 20 + 15 * unit(rng);
    const double R = 0.5 * unit(rng) - 0.1;
    const double z = Kol / (1.15 * 50);
    const double rpz = 1.570796326794895 / 4 * (z * z);
    const double d = rpz * unit(rng);
    const double Kred = Kol * std::sqrt(1 - d / rpz);
    const double Kmax = Kred * (1 / m.Value(crackrate::kRso) + unit(rng) * 0.66);
    if (Kmax >= Kred || Kol / Kmax > m.Value(crackrate::kRso)) continue;
    const double dK = Kmax * (1 - R);
    cases.push_back(SolverCase{0.5 + d, Kred - Kmax, dK, Kmax, Kmax - dK});
  }
  return cases;
}

void SolveRetardedR(benchmark::State& state) {
  const CrackrateModel m = Reference();
  const std::vector<SolverCase> cases = TypicalCases(m);
  std::size_t i = 0;
  double steps = 0;
  double calls = 0;
  int most = 0;
  for (auto _ : state) {
    const SolverCase& c = cases[i++ % cases.size()];
    const crackrate::RetardedRatio r = m.SolveRetardedR(c.a, c.B, c.dK, c.Kmax, c.Kmin);
    benchmark::DoNotOptimize(r.r);
    steps += r.steps;
    calls += 1;
    if (r.steps > most) most = r.steps;
  }
  state.counters["steps_mean"] = steps / calls;
  state.counters["steps_max"] = most;
}
BENCHMARK(SolveRetardedR);

}  // namespace

BENCHMARK_MAIN();
