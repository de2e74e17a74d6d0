// The tangent bisection of the rate model exactly as first written: e(lo)
// and e(mid) evaluated afresh through CalcRateSlope / CalcRateCurve in
// every step, no other stop than the tolerance. The oracle of the faster
// CrackrateModel::FindTangentDK in the native tests and the fuzz target.
#pragma once

#include <cmath>

#include "crackrate_model.h"

namespace crackrate_testing {

// Runs at most `limit` steps: returns false when the bisection was still
// running then (on such input it never ends), else true with the result.
inline bool WrittenFindTangentDK(const crackrate::CrackrateModel& m, double lo, double hi, double R,
                                 double DKth, double Kmax, double* result, int limit = 100000) {
  const double np = m.Value(crackrate::kNp);
  auto e = [&](double x) {
    return m.CalcRateSlope(x, DKth, Kmax, R) / m.CalcRateCurve(x, R, DKth, Kmax) * x - np;
  };
  auto sign = [](double x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); };
  const double tol = lo / 1000;
  int steps = 0;
  while (std::fabs(hi - lo) > tol) {
    if (++steps > limit) return false;
    const double mid = (hi - lo) * 0.5 + lo;
    if (sign(e(lo)) == sign(e(mid))) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  *result = (hi - lo) * 0.5 + lo;
  return true;
}

}  // namespace crackrate_testing
