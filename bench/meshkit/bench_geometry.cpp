// Nanoseconds per call of the element geometry (meshkit/geometry.h): global
// shape-function gradients of every volume class, reported against the
// arithmetic the call needs at the machine's scalar multiply-add throughput
// measured in the same run (flop_rate.h): `x_arithmetic` is the call's time
// over that arithmetic's time (the goal for the 20-node brick and the
// 10-node tetrahedron: at most 2). And the inverse mapping per point on a
// distorted 8-node brick, with its mean Newton iteration count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <meshkit/meshkit.h>

#include "flop_rate.h"
#include "repeated_runs.h"
#include "volume/volume_tables.h"
#include "volume_classes.h"

namespace {

using Meshkit::Coord3;

double gFlopsPerNs = 1;  // set in main before the benchmarks run

// The natural derivatives as counted in volume_classes.h, then per node 18
// for the Jacobian's sums and 15 for the gradient's transform, and 50 for
// the determinant and the inverse.
struct Element {
  const meshkit_bench::VolumeClass& volume;
  int nodes;
  const Coord3* natural;  // natural node positions
  Coord3 centre;
  double size;  // natural edge length, for the distortion
};

const meshkit_bench::VolumeClass (&kClasses)[8] = meshkit_bench::kVolumeClasses;
const Element kElements[] = {
    {kClasses[0], 4, Meshkit::tables::kTetrahedronNodes, {0.25, 0.25, 0.25}, 1},
    {kClasses[1], 10, Meshkit::tables::kTetrahedronNodes, {0.25, 0.25, 0.25}, 1},
    {kClasses[2], 5, Meshkit::tables::kPyramid5Nodes, {0, 0, 0}, 2},
    {kClasses[3], 13, Meshkit::tables::kPyramid13Nodes, {0, 0, 0}, 2},
    {kClasses[4], 6, Meshkit::tables::kWedge6Nodes, {0.3, 0.3, 0.5}, 1},
    {kClasses[5], 15, Meshkit::tables::kWedge15Nodes, {0.3, 0.3, 0}, 2},
    {kClasses[6], 8, Meshkit::tables::kBrick8Nodes, {0.5, 0.5, 0.5}, 1},
    {kClasses[7], 20, Meshkit::tables::kBrick20Nodes, {0, 0, 0}, 2},
};

int GradientFlops(const Element& e) { return e.volume.derivativeFlops + 33 * e.nodes + 50; }

// Node coordinates: the element at its natural nodes (midside nodes midway
// between their corners, the pyramids' apex at the collapsed face's centre),
// each node moved at random by up to 5% of the edge length.
std::vector<double> Nodes(const Element& e) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-0.05 * e.size, 0.05 * e.size);
  std::vector<Coord3> x(e.natural, e.natural + e.nodes);
  for (int k = 0; k < e.nodes; ++k) {
    int a, b;
    e.volume.element->ParentCorners(k, a, b);
    if (a != k) x[k] = {(x[a].x + x[b].x) / 2, (x[a].y + x[b].y) / 2, (x[a].z + x[b].z) / 2};
  }
  std::vector<double> xyz;
  for (const Coord3& p : x) xyz.insert(xyz.end(), {p.x + u(rng), p.y + u(rng), p.z + u(rng)});
  return xyz;
}

// 1024 natural points spread around the centre of the domain (inside).
std::vector<Coord3> Points(const Element& e) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-0.2 * e.size, 0.2 * e.size);
  std::vector<Coord3> out(1024);
  for (Coord3& p : out) p = {e.centre.x + u(rng), e.centre.y + u(rng), e.centre.z + u(rng)};
  return out;
}

void GlobalDerivatives(benchmark::State& state, const Element* e) {
  const std::vector<double> xyz = Nodes(*e);
  const std::vector<Coord3> points = Points(*e);
  double out[60];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Meshkit::GlobalDerivatives(*e->volume.element, xyz.data(), points[i], out));
    benchmark::ClobberMemory();
    i = (i + 1) & 1023;
  }
  const double flops = GradientFlops(*e);
  state.counters["flops"] = flops;
  // The call's time over the arithmetic's time at the anchor's rate.
  state.counters["x_arithmetic"] = benchmark::Counter(
      flops / (gFlopsPerNs * 1e9),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Targets: the images of natural points over the whole domain of the
// distorted brick; each call starts from scratch.
void MapToNatural(benchmark::State& state, const Element* e) {
  const std::vector<double> xyz = Nodes(*e);
  std::mt19937_64 rng(2);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<Coord3> targets(1024);
  for (Coord3& t : targets) {
    t = Meshkit::MapToGlobal(*e->volume.element, xyz.data(), {u(rng), u(rng), u(rng)});
  }
  std::size_t i = 0;
  double iterations = 0, calls = 0;
  for (auto _ : state) {
    const Meshkit::NaturalPoint hit =
        Meshkit::MapToNatural(*e->volume.element, xyz.data(), targets[i]);
    benchmark::DoNotOptimize(hit);
    iterations += hit.iterations, calls += 1;
    i = (i + 1) & 1023;
  }
  state.counters["iterations"] = iterations / calls;
}

void Register() {
  for (const Element& e : kElements) {
    benchmark::RegisterBenchmark((std::string("GlobalDerivatives/") + e.volume.name).c_str(),
                                 GlobalDerivatives, &e);
  }
  benchmark::RegisterBenchmark("MapToNatural/Brick8", MapToNatural, &kElements[6]);
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
