// Command-line set-up shared by the Google Benchmark executables: without
// arguments, five repetitions reported as mean, median and spread, since the
// machines these run on are noisy; with arguments, the library's own.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

namespace bench {

inline void InitializeRepeated(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  if (argc == 1) {
    args.push_back(repetitions);
    args.push_back(aggregates);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
}

}  // namespace bench
