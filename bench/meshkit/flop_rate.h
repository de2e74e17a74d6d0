// The machine's measured multiply-add throughput in scalar double code: the
// anchor against which the element benchmarks state how close an operation
// comes to the time its arithmetic alone would take.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace flop_rate {

// Multiply-adds per nanosecond of twelve independent chains x = x * a + b
// (enough chains to hide the latency of a multiply followed by an add; twelve
// plus a and b fill the sixteen vector registers), the
// median of `repetitions` timed runs. The empty asm statements keep every
// chain in its own scalar register, so the loop is neither vectorised nor
// folded away; the element operations are scalar code too.
inline double MultiplyAddsPerNanosecond(int repetitions = 5) {
  constexpr long kIterations = 20'000'000;
  std::vector<double> rates;
  for (int rep = 0; rep < repetitions; ++rep) {
    volatile double seedA = 0.9999999, seedB = 1e-7;
    const double a = seedA, b = seedB;
    double x0 = 1, x1 = 2, x2 = 3, x3 = 4, x4 = 5, x5 = 6, x6 = 7, x7 = 8, x8 = 9, x9 = 10,
           x10 = 11, x11 = 12;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < kIterations; ++i) {
      x0 = x0 * a + b;
      x1 = x1 * a + b;
      x2 = x2 * a + b;
      x3 = x3 * a + b;
      x4 = x4 * a + b;
      x5 = x5 * a + b;
      x6 = x6 * a + b;
      x7 = x7 * a + b;
      x8 = x8 * a + b;
      x9 = x9 * a + b;
      x10 = x10 * a + b;
      x11 = x11 * a + b;
      asm volatile(""
                   : "+x"(x0), "+x"(x1), "+x"(x2), "+x"(x3), "+x"(x4), "+x"(x5), "+x"(x6),
                     "+x"(x7));
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    volatile double sink = x0 + x1 + x2 + x3 + x4 + x5 + x6 + x7 + x8 + x9 + x10 + x11;
    (void)sink;
    rates.push_back(12.0 * kIterations / ns);
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

}  // namespace flop_rate
