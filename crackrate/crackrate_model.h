// Native core of the crack growth module: a fatigue crack growth rate model
// built from 20 or 21 material constants, with crack closure, a threshold
// that depends on crack length and stress ratio, a critical-K term, a
// near-threshold power law around an effective ratio of 0.7, and overload
// retardation through a remembered overload.
//
// Plain C++ with no interpreter dependency, so that the Python type and
// native callers share one implementation that can be tested and timed on
// its own. Nothing here validates its input or raises: every formula is
// evaluated in IEEE arithmetic with the mathematics library's pow, exp,
// log, cos and sqrt, in the order written below, and infinities and NaNs
// propagate into the results. No operation allocates; every loop is
// bounded whatever the constants and arguments.
//
// Notation: dK is the stress-intensity range of a cycle, a the crack
// length, R the stress ratio, Kmax = dK/(1 - R) the peak stress intensity,
// N the cycle count that damps the effective ratio.
#pragma once

#include <cmath>

namespace crackrate {

// Positions of the 23 named values: the 21 constants in the order a
// sequence of constants gives them, then the two values the flag selects.
enum Parameter : int {
  kUTS,
  kYS,
  kKie,
  kKic,
  kAk,
  kBk,
  kC,
  kN,
  kP,
  kQ,
  kDK1,
  kCthp,
  kCthm,
  kRcl,
  kAlfa,
  kRatio,
  kR,
  kA0,
  kNp,
  kDamp,
  kRso,
  kAlphag,
  kKc,
};
constexpr int kParameterCount = 23;

// Their names, as the Python attributes show them, in the order above.
extern const char* const kParameterNames[kParameterCount];

// A sequence of constants has 20 entries (Rso then defaults to
// kDefaultRso) or 21.
constexpr int kShortConstants = 20;
constexpr int kFullConstants = 21;
constexpr double kDefaultRso = 3.0;

// Ratio argument meaning "no ratio given: use the stored R" for CalcReff
// (and, through it, CalcKeff); the threshold argument meaning "compute the
// threshold" for Calc_Crackrate.
constexpr double kNoRatio = 1000.0;
constexpr double kComputeThreshold = -1.0;

// Newton solver of the retarded ratio: residual norm that counts as
// solved, and the number of steps after which it stops regardless.
constexpr double kSolverTolerance = 1e-10;
constexpr int kSolverSteps = 101;

// The remembered overload: its peak stress intensity, the size of the zone
// it affects and the crack length at which it was recorded. All 0.0 on a
// fresh model and after SetKol.
struct OverloadState {
  double Kol = 0.0;
  double rpz = 0.0;
  double aol = 0.0;
};

// Outcome of SolveRetardedR: the retarded ratio r, the companion k (the
// amount by which the overload lowers Kmax and Kmin) and the number of
// Newton steps taken (0 when the start point already solves the pair).
struct RetardedRatio {
  double r;
  double k;
  int steps;
};

// The rule of Compute_Crackrate under which a cycle falls, given the
// overload state: it becomes the new overload (kRecord), carries no load
// (kNoLoad), grows at a retarded ratio (kRetarded) or not at all
// (kArrest).
enum class OverloadBranch { kRecord, kNoLoad, kRetarded, kArrest };

class CrackrateModel {
 public:
  // `constants` holds `count` entries (20 or 21, in Parameter order up to
  // kRso); with 20, Rso is kDefaultRso. A set flag selects alphag 1.15 and
  // Kc = Kie, a clear one alphag 2.55 and Kc = Kic. The overload state
  // starts cleared.
  CrackrateModel(const double* constants, int count, bool flag) noexcept;

  // One of the 23 named values; `index` must be in [0, kParameterCount).
  double Value(int index) const noexcept { return values_[index]; }
  bool Flag() const noexcept { return flag_; }
  // The closure coefficients A0..A3 (index 0 to 3).
  double ClosureCoefficient(int index) const noexcept { return A_[index]; }

  // Crack-closure function f(R).
  double Setf(double R) const noexcept;
  // Threshold range dKth(a, R).
  double Calc_DKth(double a, double R) const noexcept;
  // Derivative of Calc_DKth with respect to R at fixed a, the ratio
  // exponent held constant on each side of R = 0.
  double dDKthbydReff(double a, double R) const noexcept;
  // Effective ratio after N cycles at ratio x (x >= kNoRatio: stored R).
  double CalcReff(int N, double x) const noexcept;
  // Effective stress intensity of K (R > 100: the effective stored ratio).
  double CalcKeff(double K, int N, double R) const noexcept;
  // C * dK^n.
  double Paris(double dK) const noexcept;
  // The rate curve with its threshold and critical-K factors.
  double CalcRateCurve(double dK, double R, double DKth, double Kmax) const noexcept;
  // The rate curve times its logarithmic-derivative bracket, Kmax fixed.
  double CalcRateSlope(double x, double DKth, double Kmax, double R) const noexcept;
  // Bisection between lo and hi for the point where the rate curve's
  // logarithmic slope equals np; it stops when the bracket is narrower
  // than lo/1000, or when a step no longer changes it.
  double FindTangentDK(double lo, double hi, double R, double DKth, double Kmax) const noexcept;
  // Rate for one cycle (R >= 100 or NaN: the stored R; DKth < 0: the
  // threshold is computed).
  double Calc_Crackrate(double dK, double a, int N, double R, double DKth) const noexcept;

  // Rate for one cycle in load order, retarded by the remembered overload;
  // records the cycle as the new overload where it governs.
  double Compute_Crackrate(double dK, double a, int N, double R) noexcept;
  // The branch of a cycle of peak Kmax at length a under the current
  // state, as Compute_Crackrate chooses it; for kRetarded also the
  // overload's peak as felt at a (`Kred`, otherwise left as it was).
  OverloadBranch Classify(double Kmax, double a, double* Kred) const noexcept;
  // What Compute_Crackrate(dK, a, N, R) would return, bit for bit, and the
  // branch it would take, without changing the state.
  double PeekCrackrate(double dK, double a, int N, double R, OverloadBranch* branch) const noexcept;
  // Forgets the overload.
  void SetKol() noexcept { overload_ = OverloadState(); }
  // Newton's method for the retarded ratio of a cycle under an overload
  // whose reduced peak exceeds Kmax by B; at most kSolverSteps steps.
  RetardedRatio SolveRetardedR(double a, double B, double dK, double Kmax,
                               double Kmin) const noexcept;

  const OverloadState& Overload() const noexcept { return overload_; }
  // The state a cycle of peak Kmax at length a records as the overload.
  OverloadState RecordedAt(double Kmax, double a) const noexcept;
  // Puts back an overload state taken from a model of the same constants
  // (copies of a crack's history).
  void RestoreOverload(const OverloadState& state) noexcept { overload_ = state; }

 private:
  // The closure polynomial A0 + A1 R + A2 R^2 + A3 R^3.
  double ClosurePolynomial(double R) const noexcept;
  // sqrt of the crack-length factor of the threshold.
  double LengthFactor(double a) const noexcept;
  // The rate of a retarded cycle: the plain rate at the solver's ratio.
  double RetardedRate(double dK, double a, int N, double Kmax, double Kred) const noexcept;

  // The rate curve C ((1 - f(R)) / (1 - R) x)^n (1 - DKth / x)^p
  // / (1 - Kmax / Kc)^q at one (R, DKth, Kmax), and its slope in x: the one
  // set of terms the rate curve, its slope and the tangent bisection use,
  // with the factors that do not depend on x taken once.
  struct RateTerms {
    double C, n, p, DKth, closure, critical, criticalSlope;
    double Curve(double x) const noexcept {
      return C * std::pow(closure * x, n) * std::pow(1 - DKth / x, p) / critical;
    }
    // The slope at x, given the curve's value there.
    double Slope(double x, double curve) const noexcept {
      return curve * (n / x + p * DKth / ((x * x) * (1 - DKth / x)) + criticalSlope);
    }
  };
  RateTerms TermsAt(double R, double DKth, double Kmax) const noexcept;

  double values_[kParameterCount];
  double A_[4];
  bool flag_;
  OverloadState overload_;
};

}  // namespace crackrate
