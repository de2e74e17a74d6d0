// Nanoseconds per call of the volume element classes (shape functions,
// derivatives, inside test, clamp, extrapolation of scalars and Tensor6
// values), each reported with the floating-point operations the call needs
// and the fraction of the machine's scalar multiply-add throughput, measured
// in the same run (flop_rate.h), that it reaches.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <meshkit/meshkit.h>

#include "flop_rate.h"
#include "repeated_runs.h"
#include "volume_classes.h"

namespace {

using Meshkit::Coord3;

double gFlopsPerNs = 1;  // set in main before the benchmarks run

using Element = meshkit_bench::VolumeClass;
const auto& kElements = meshkit_bench::kVolumeClasses;

// 1024 points around the domains (some outside, so that clamps have work).
const std::vector<Coord3>& Points() {
  static const std::vector<Coord3> points = [] {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> u(-1.2, 1.2);
    std::vector<Coord3> out(1024);
    for (Coord3& p : out) p = {u(rng), u(rng), u(rng)};
    return out;
  }();
  return points;
}

void SetFlops(benchmark::State& state, double flops) {
  state.counters["flops"] = flops;
  // flops * iterations / seconds / (flops per second at the anchor's rate).
  state.counters["of_peak"] = benchmark::Counter(flops / (gFlopsPerNs * 1e9),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void ShapeFunctions(benchmark::State& state, const Element* e) {
  const std::vector<Coord3>& points = Points();
  double out[20];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e->element->ShapeFunctions(points[i], out));
    benchmark::ClobberMemory();
    i = (i + 1) & 1023;
  }
  SetFlops(state, e->shapeFlops);
}

void ShapeDerivatives(benchmark::State& state, const Element* e) {
  const std::vector<Coord3>& points = Points();
  double out[60];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e->element->ShapeDerivatives(points[i], out));
    benchmark::ClobberMemory();
    i = (i + 1) & 1023;
  }
  SetFlops(state, e->derivativeFlops);
}

void IsInside(benchmark::State& state, const Element* e) {
  const std::vector<Coord3>& points = Points();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e->element->IsInside(points[i], 1e-9));
    i = (i + 1) & 1023;
  }
}

void ClampToElement(benchmark::State& state, const Element* e) {
  const std::vector<Coord3>& points = Points();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e->element->ClampToElement(points[i]));
    i = (i + 1) & 1023;
  }
}

// The output list is reused, as a caller looping over elements would: after
// the first call it has its room and the extrapolation allocates nothing.
template <class T, int kComponents>
void Extrapolate(benchmark::State& state, const Element* e, int m) {
  Meshkit::List<T> in, out;
  for (int j = 0; j < m; ++j) {
    T value{};
    double* c = reinterpret_cast<double*>(&value);
    for (int k = 0; k < kComponents; ++k) c[k] = 1.0 + j + 0.1 * k;
    in.Append(value);
  }
  double nodes = 0;
  for (auto _ : state) {
    if constexpr (kComponents == 1) {
      e->element->ExtrapolateScalar(in, out);
    } else {
      e->element->ExtrapolateTensor6(in, out);
    }
    benchmark::DoNotOptimize(out.Data());
    benchmark::ClobberMemory();
  }
  nodes = out.Count();
  SetFlops(state, 2.0 * nodes * m * kComponents);
}

void Register() {
  for (const Element& e : kElements) {
    const std::string n = e.name;
    benchmark::RegisterBenchmark(("ShapeFunctions/" + n).c_str(), ShapeFunctions, &e);
    benchmark::RegisterBenchmark(("ShapeDerivatives/" + n).c_str(), ShapeDerivatives, &e);
    benchmark::RegisterBenchmark(("IsInside/" + n).c_str(), IsInside, &e);
    benchmark::RegisterBenchmark(("ClampToElement/" + n).c_str(), ClampToElement, &e);
  }
  for (const Element& e : kElements) {
    for (int m : e.counts) {
      const std::string n = std::string(e.name) + "/" + std::to_string(m);
      benchmark::RegisterBenchmark(("ExtrapolateScalar/" + n).c_str(), Extrapolate<double, 1>, &e,
                                   m);
      benchmark::RegisterBenchmark(("ExtrapolateTensor6/" + n).c_str(),
                                   Extrapolate<Meshkit::Tensor6, 6>, &e, m);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::InitializeRepeated(argc, argv);
  gFlopsPerNs = meshkit_bench::MeasureMultiplyAddRate();
  std::printf("anchor: scalar multiply-add throughput %.3f flops/ns\n", gFlopsPerNs);
  Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
