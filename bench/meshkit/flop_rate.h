// The machine's scalar multiply-add throughput, measured by a calibrated
// loop, as the anchor the element benchmarks report against.
//
// Twelve independent chains a = a * m + c run in scalar registers (an empty
// asm statement per round keeps the compiler from vectorising or folding
// them); twelve chains cover the latency of a multiply followed by an add on
// current cores, so the loop runs at the issue rate. Each round is 24
// floating-point operations (a multiply-add counts as two). The best of
// several runs is reported, timed in the thread's own CPU time like the
// benchmarks themselves, the machines being shared.
#pragma once

#include <time.h>

namespace meshkit_bench {

inline double ThreadNanoseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return 1e9 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec);
}

// Floating-point operations per nanosecond.
inline double MeasureMultiplyAddRate(long rounds = 20000000, int runs = 7) {
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    double a0 = 1.0, a1 = 1.1, a2 = 1.2, a3 = 1.3, a4 = 1.4, a5 = 1.5;
    double a6 = 1.6, a7 = 1.7, a8 = 1.8, a9 = 1.9, a10 = 2.0, a11 = 2.1;
    const double m = 0.999999, c = 1e-6;
    const double start = ThreadNanoseconds();
    for (long i = 0; i < rounds; ++i) {
      a0 = a0 * m + c, a1 = a1 * m + c, a2 = a2 * m + c, a3 = a3 * m + c;
      a4 = a4 * m + c, a5 = a5 * m + c, a6 = a6 * m + c, a7 = a7 * m + c;
      a8 = a8 * m + c, a9 = a9 * m + c, a10 = a10 * m + c, a11 = a11 * m + c;
      asm volatile("" : "+x"(a0), "+x"(a1), "+x"(a2), "+x"(a3), "+x"(a4), "+x"(a5));
      asm volatile("" : "+x"(a6), "+x"(a7), "+x"(a8), "+x"(a9), "+x"(a10), "+x"(a11));
    }
    const double ns = ThreadNanoseconds() - start;
    volatile double sink = a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10 + a11;
    (void)sink;
    const double rate = 24.0 * static_cast<double>(rounds) / ns;
    if (rate > best) best = rate;
  }
  return best;
}

}  // namespace meshkit_bench
