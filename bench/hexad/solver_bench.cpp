// Native cost per tensor of the principal-value solver and of the effective
// stress, on a fixed set of random symmetric tensors.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "column_tensor.h"
#include "repeated_runs.h"

namespace {

struct Tensor {
  double c[6];
};

std::vector<Tensor> RandomTensors(std::size_t n, bool diagonal) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> u(-500.0, 500.0);
  std::vector<Tensor> out(n);
  for (Tensor& t : out) {
    for (int i = 0; i < 6; ++i) t.c[i] = (diagonal && i >= 3) ? 0.0 : u(rng);
  }
  return out;
}

// Random tensors, and (argument 1) diagonal ones, which need no rotation.
void BM_SolvePrincipal(benchmark::State& state) {
  const std::vector<Tensor> tensors = RandomTensors(1024, state.range(0) != 0);
  std::size_t i = 0;
  for (auto _ : state) {
    hexad::Principal p = hexad::SolvePrincipal(tensors[i].c);
    benchmark::DoNotOptimize(p);
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SolvePrincipal)->ArgName("diagonal")->Arg(0)->Arg(1);

void BM_EffectiveStress(benchmark::State& state) {
  const std::vector<Tensor> tensors = RandomTensors(1024, false);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hexad::EffectiveStress(tensors[i].c));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EffectiveStress);

}  // namespace

int main(int argc, char** argv) {
  bench::InitializeRepeated(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
