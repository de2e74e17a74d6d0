// Overload retardation: the stateful rate of a crack's load history. A
// cycle whose peak reaches the remembered overload, or that comes after
// the crack has grown through the overload's zone, becomes the new
// overload; smaller cycles inside the zone grow at the rate of a lowered
// (retarded) stress ratio, or not at all when the overload is more than
// Rso times their peak.
#include <cmath>

#include "crackrate_model.h"

namespace crackrate {

namespace {

// Zone factor of the overload zone rpz = factor (Kmax/(alphag YS))^2: the
// closure module's angle literal divided by 4, not the double nearest to
// pi/8, so that zone sizes match the reference histories.
constexpr double kZoneFactor = 1.570796326794895 / 4;

// Below this peak a cycle neither grows the crack nor touches the state.
constexpr double kNoLoad = 1e-10;

// Ratios above this value select the stored R (strictly above: 100 itself
// is used as given here, unlike in Calc_Crackrate).
constexpr double kRatioLimit = 100.0;

}  // namespace

OverloadState CrackrateModel::RecordedAt(double Kmax, double a) const noexcept {
  const double zone = Kmax / (values_[kAlphag] * values_[kYS]);
  OverloadState state;
  state.Kol = Kmax;
  state.rpz = kZoneFactor * (zone * zone);
  state.aol = a;
  return state;
}

OverloadBranch CrackrateModel::Classify(double Kmax, double a, double* Kred) const noexcept {
  if (Kmax >= overload_.Kol) return OverloadBranch::kRecord;
  if (Kmax < kNoLoad) return OverloadBranch::kNoLoad;
  const double d = a - overload_.aol;
  // Past the zone the old overload no longer acts.
  if (d > overload_.rpz) return OverloadBranch::kRecord;
  // The overload's peak as felt at this depth into its zone.
  const double felt = overload_.Kol * std::sqrt(1 - d / overload_.rpz);
  if (Kmax >= felt) return OverloadBranch::kRecord;
  if (overload_.Kol / Kmax > values_[kRso]) return OverloadBranch::kArrest;
  *Kred = felt;
  return OverloadBranch::kRetarded;
}

double CrackrateModel::RetardedRate(double dK, double a, int N, double Kmax,
                                    double Kred) const noexcept {
  const double B = Kred - Kmax;
  const double Kmin = Kmax - dK;
  const RetardedRatio retarded = SolveRetardedR(a, B, dK, Kmax, Kmin);
  return Calc_Crackrate(dK, a, N, retarded.r, kComputeThreshold);
}

double CrackrateModel::PeekCrackrate(double dK, double a, int N, double R,
                                     OverloadBranch* branch) const noexcept {
  if (R > kRatioLimit) R = values_[kR];
  const double Kmax = dK / (1 - R);
  double Kred = 0.0;
  *branch = Classify(Kmax, a, &Kred);
  switch (*branch) {
    case OverloadBranch::kRecord:
      // The rate a recording cycle returns does not depend on the state.
      return Calc_Crackrate(dK, a, N, R, kComputeThreshold);
    case OverloadBranch::kRetarded:
      return RetardedRate(dK, a, N, Kmax, Kred);
    case OverloadBranch::kNoLoad:
    case OverloadBranch::kArrest:
      break;
  }
  return 0.0;
}

// The rate of a recording cycle does not read the state, so recording it
// after the rate is the same as before.
double CrackrateModel::Compute_Crackrate(double dK, double a, int N, double R) noexcept {
  OverloadBranch branch = OverloadBranch::kNoLoad;
  const double rate = PeekCrackrate(dK, a, N, R, &branch);
  if (branch == OverloadBranch::kRecord) {
    if (R > kRatioLimit) R = values_[kR];
    overload_ = RecordedAt(dK / (1 - R), a);
  }
  return rate;
}

// Newton's method on
//   F1(k, r) = (Kmin - k)/(Kmax - k) - r
//   F2(k, r) = B (1 - DKth(a, r)/dK)/(Rso - 1) - k
// from k = r = 0, with the Jacobian [[J11, -1], [-1, J22]] inverted in
// closed form (Dn is minus its determinant).
RetardedRatio CrackrateModel::SolveRetardedR(double a, double B, double dK, double Kmax,
                                             double Kmin) const noexcept {
  const double scale = values_[kRso] - 1;
  double k = 0.0;
  double r = 0.0;
  double F1 = 0.0;
  double F2 = 0.0;
  auto solved = [&] {
    F1 = (Kmin - k) / (Kmax - k) - r;
    F2 = B * (1 - Calc_DKth(a, r) / dK) / scale - k;
    return std::sqrt(F1 * F1 + F2 * F2) <= kSolverTolerance;
  };
  if (solved()) return RetardedRatio{r, k, 0};
  int steps = 0;
  while (steps < kSolverSteps) {
    ++steps;
    const double J11 = -dK / ((Kmax - k) * (Kmax - k));
    const double J22 = -B * dDKthbydReff(a, r) / (scale * dK);
    const double Dn = 1 - J11 * J22;
    const double dk = (J22 * F1 + F2) / Dn;
    const double dr = (F1 + J11 * F2) / Dn;
    k += dk;
    r += dr;
    if (solved()) break;
  }
  return RetardedRatio{r, k, steps};
}

}  // namespace crackrate
