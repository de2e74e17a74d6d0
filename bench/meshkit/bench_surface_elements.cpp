// Time per call of the surface element operations that run in callers' inner
// loops, for each class, next to the time their arithmetic would take at the
// machine's measured multiply-add rate (flop_rate.h), measured in the same
// run. Ratio = measured time / arithmetic time (1 would be the multiply-add
// loop's pace; the goal for the point operations is within 2).
//
//   build/bench/meshkit/bench_surface_elements [repetitions]
//
// Medians of the repetitions (5 by default). Calls go through a
// SurfElemClass pointer, as a caller holding any class would make them, at
// 1024 different points of a curved, skewed element.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <meshkit/meshkit.h>

#include "flop_rate.h"

namespace {

using Meshkit::Coord2;
using Meshkit::SurfElemClass;

// Floating-point operations (additions, subtractions, multiplications)
// counted by hand from the written expressions, common subexpressions counted
// once: the shape functions and the first derivatives of each class.
struct ElementInfo {
  const char* name;
  const SurfElemClass* element;
  int nodes;
  bool triangle;
  int shapeFlops;
  int derivativeFlops;
  int largestMatrix;
};

const ElementInfo kElements[] = {
    {"Triangle3", &Meshkit::kTriangle3, 3, true, 2, 0, 13},
    {"Triangle6", &Meshkit::kTriangle6, 6, true, 17, 15, 13},
    {"Quadrilateral4", &Meshkit::kQuadrilateral4, 4, false, 12, 12, 9},
    {"Quadrilateral8", &Meshkit::kQuadrilateral8, 8, false, 37, 38, 9},
};

// Flops of the base operations built on them (sqrt counted as one):
// MapToGlobal: shapes + 3 multiply-adds per node; SurfaceTangents:
// derivatives + 6 per node + 9 for the cross product; AreaScale: tangents + 5
// + sqrt; IntegrateScalar: per point AreaScale + shapes + 1 multiply-add per
// node + 3; extrapolation: one multiply-add per matrix entry and component.
int MapFlops(const ElementInfo& e) { return e.shapeFlops + 6 * e.nodes; }
int TangentFlops(const ElementInfo& e) { return e.derivativeFlops + 12 * e.nodes + 9; }
int AreaFlops(const ElementInfo& e) { return TangentFlops(e) + 6; }
int IntegrateFlops(const ElementInfo& e) {
  return 4 * (AreaFlops(e) + e.shapeFlops + 2 * e.nodes + 3);
}

constexpr int kPoints = 1024;

struct Data {
  std::vector<Coord2> points;
  std::vector<double> xyz;
  std::vector<double> field;
};

Data MakeData(const ElementInfo& e) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Data d;
  for (int i = 0; i < kPoints; ++i) {
    double r = u(gen), s = u(gen);
    if (e.triangle) {
      if (r + s > 1) r = 1 - r, s = 1 - s;
    } else {
      r = 2 * r - 1, s = 2 * s - 1;
    }
    d.points.push_back({r, s});
  }
  for (int k = 0; k < e.nodes; ++k) {
    const Coord2 p = e.element->NodeCoordinates(k);
    d.xyz.insert(d.xyz.end(), {2 * p.r + 0.3 * p.s + 0.1 * u(gen), 1.5 * p.s + 0.1 * u(gen),
                               0.4 * p.r * p.s + 0.1 * u(gen)});
    d.field.push_back(u(gen));
  }
  return d;
}

template <class F>
double NanosecondsPerCall(long calls, F&& f) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) f(static_cast<int>(i & (kPoints - 1)));
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
             .count() /
         static_cast<double>(calls);
}

template <class F>
double Median(int reps, long calls, F&& f) {
  std::vector<double> times;
  times.reserve(reps);
  for (int r = 0; r < reps; ++r) times.push_back(NanosecondsPerCall(calls, f));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

volatile double gSink;

void Row(const char* name, const char* operation, double ns, int flops, double rate) {
  const double multiplyAdds = flops / 2.0;
  const double ideal = multiplyAdds / rate;
  std::printf("%-15s %-22s %9.2f %9.1f %9.2f %7.2f\n", name, operation, ns, multiplyAdds, ideal,
              ns / ideal);
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 5;
  const double rate = meshkit_bench::MeasureMultiplyAddRate(20000000, reps) / 2.0;
  std::printf("medians of %d repetitions; measured multiply-add rate %.2f per ns\n", reps, rate);
  std::printf("ratio = measured ns / (multiply-adds / rate)\n");
  std::printf("%-15s %-22s %9s %9s %9s %7s\n", "class", "operation", "ns/call", "mul-adds",
              "ideal ns", "ratio");
  constexpr long kCalls = 2'000'000;
  for (const ElementInfo& info : kElements) {
    // Read the pointer through a volatile so that calls stay virtual.
    const SurfElemClass* volatile held = info.element;
    const SurfElemClass* e = held;
    const Data d = MakeData(info);
    double sink = 0;
    const double map = Median(reps, kCalls, [&](int i) {
      const Meshkit::Coord3 x = e->MapToGlobal(d.points[i], d.xyz.data());
      sink += x.x + x.y + x.z;
    });
    Row(info.name, "MapToGlobal", map, MapFlops(info), rate);
    const double tangents = Median(reps, kCalls, [&](int i) {
      Meshkit::SurfaceFrame f;
      e->SurfaceTangents(d.xyz.data(), d.points[i], f);
      sink += f.normal.x;
    });
    Row(info.name, "SurfaceTangents", tangents, TangentFlops(info), rate);
    const double area =
        Median(reps, kCalls, [&](int i) { sink += e->AreaScale(d.xyz.data(), d.points[i]); });
    Row(info.name, "AreaScale", area, AreaFlops(info), rate);
    const double integral = Median(
        reps, kCalls / 4, [&](int) { sink += e->IntegrateScalar(d.xyz.data(), d.field.data()); });
    Row(info.name, "IntegrateScalar", integral, IntegrateFlops(info), rate);

    const int m = info.largestMatrix;
    Meshkit::List<double> in, out;
    Meshkit::List<Meshkit::Tensor9> in9, out9;
    for (int j = 0; j < m; ++j) {
      in.Append(0.1 * j);
      Meshkit::Tensor9 t;
      for (int k = 0; k < 9; ++k) t.c[k] = 0.1 * j + k;
      in9.Append(t);
    }
    const double scalar = Median(reps, kCalls / 4, [&](int) {
      e->ExtrapolateScalar(in, out);
      sink += out[0];
    });
    char label[32];
    std::snprintf(label, sizeof label, "ExtrapolateScalar m=%d", m);
    Row(info.name, label, scalar, 2 * info.nodes * m, rate);
    const double tensor = Median(reps, kCalls / 16, [&](int) {
      e->ExtrapolateTensor9(in9, out9);
      sink += out9[0].c[0];
    });
    std::snprintf(label, sizeof label, "ExtrapolateTensor9 m=%d", m);
    Row(info.name, label, tensor, 2 * 9 * info.nodes * m, rate);
    gSink = sink;
  }
  return 0;
}
