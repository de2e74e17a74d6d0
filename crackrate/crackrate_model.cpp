// The crack growth rate model: closure, threshold, effective ratio and the
// rate for one cycle. Every formula keeps the order of operations in which
// the model was first written, so that results agree with the reference
// rates to rounding; squares are products, every other power goes through
// pow.
#include "crackrate_model.h"

#include <cmath>

namespace crackrate {

const char* const kParameterNames[kParameterCount] = {
    "UTS",  "YS",  "Kie",  "Kic",   "Ak", "Bk", "C",  "n",    "p",   "q",      "DK1", "Cthp",
    "Cthm", "Rcl", "alfa", "ratio", "R",  "a0", "np", "damp", "Rso", "alphag", "Kc",
};

namespace {

// The angle factor of the closure coefficient A0: this literal, not the
// double nearest to pi/2, so that A0 matches the reference constants.
constexpr double kClosureAngle = 1.570796326794895;

// Plastic zone factor alphag of the overload zone: plane stress (flag set)
// or plane strain (flag clear).
constexpr double kAlphagFlagSet = 1.15;
constexpr double kAlphagFlagClear = 2.55;

// Effective ratio at which the near-threshold power law takes over, and
// the half-width of the band around it.
constexpr double kTangentRatio = 0.7;
constexpr double kTangentBand = 0.05;

// Offset of the bisection's lower end above the threshold.
constexpr double kTangentOffset = 0.001;

// Ratios from this value up (and NaN) select the stored R in
// Calc_Crackrate; above kKeffRatioLimit CalcKeff uses the effective stored
// ratio.
constexpr double kRateRatioLimit = 100.0;
constexpr double kKeffRatioLimit = 100.0;

// +1, 0 or -1; a NaN counts as 0.
int Sign(double x) { return (x > 0) - (x < 0); }

}  // namespace

CrackrateModel::CrackrateModel(const double* constants, int count, bool flag) noexcept
    : flag_(flag) {
  for (int i = 0; i < kFullConstants; ++i) values_[i] = i < count ? constants[i] : kDefaultRso;
  values_[kAlphag] = flag ? kAlphagFlagSet : kAlphagFlagClear;
  values_[kKc] = flag ? values_[kKie] : values_[kKic];
  // Closure coefficients from the constraint factor alfa and the stress
  // ratio S = ratio: A0 and A1 fit the closure level at R = 0 and its
  // slope, A3 and A2 close the polynomial so that f(1) = 1.
  const double alpha = values_[kAlfa];
  const double S = values_[kRatio];
  A_[0] = std::pow(std::cos(kClosureAngle * S), 1.0 / alpha) *
          ((0.825 - 0.34 * alpha) + 0.05 * (alpha * alpha));
  A_[1] = (0.415 - 0.071 * alpha) * S;
  A_[3] = 2 * A_[0] + A_[1] - 1;
  A_[2] = 1 - A_[0] - A_[1] - A_[3];
}

double CrackrateModel::ClosurePolynomial(double R) const noexcept {
  return A_[0] + A_[1] * R + A_[2] * (R * R) + A_[3] * (R * R * R);
}

double CrackrateModel::Setf(double R) const noexcept {
  if (R >= 0) {
    const double P = ClosurePolynomial(R);
    return P > R ? P : R;
  }
  return A_[0] + A_[1] * R;
}

double CrackrateModel::LengthFactor(double a) const noexcept {
  const double a0 = values_[kA0];
  const double s = a > a0 ? a / (a + a0) : 0.5;
  return std::sqrt(s);
}

double CrackrateModel::Calc_DKth(double a, double R) const noexcept {
  const double f = Setf(R);
  const double Cthp = values_[kCthp];
  const double Cth = R >= 0 ? Cthp : values_[kCthm];
  const double Q = (1 - R) / (1 - f * R);
  return values_[kDK1] * LengthFactor(a) * std::pow(Q, 1 + Cth * R) /
         std::pow(1 - A_[0], Cthp - Cth * R);
}

double CrackrateModel::dDKthbydReff(double a, double R) const noexcept {
  const double f = Setf(R);
  const double Cthp = values_[kCthp];
  const double Cth = R >= 0 ? Cthp : values_[kCthm];
  const double Q = (1 - R) / (1 - f * R);
  // t = d(ln Q)/dR. With g = f + R f', t = (g (1 - R) + f R - 1) /
  // ((1 - f R)(1 - R)); where the closure level is R itself this reduces
  // to -1/(R + 1).
  double t;
  if (R < 0) {
    const double g = A_[0] + 2 * A_[1] * R;
    t = (g * (1 - R) + f * R - 1) / ((1 - f * R) * (1 - R));
  } else if (R < ClosurePolynomial(R)) {
    const double g = A_[0] + 2 * A_[1] * R + 3 * A_[2] * (R * R) + 4 * A_[3] * (R * R * R);
    t = (g * (1 - R) + f * R - 1) / ((1 - f * R) * (1 - R));
  } else {
    t = -1 / (R + 1);
  }
  const double u = std::pow(Q, 1 + Cth * R);
  const double v = std::pow(1 - A_[0], Cth * R - Cthp);
  return values_[kDK1] * LengthFactor(a) *
         ((Cth * std::log(Q) + (1 + Cth * R) * t) * u * v + std::log(1 - A_[0]) * Cth * v * u);
}

double CrackrateModel::CalcReff(int N, double x) const noexcept {
  const double storedR = values_[kR];
  if (x >= kNoRatio) x = storedR;
  if (storedR > kTangentRatio) return storedR;
  // N is negated as a double: -N of the most negative int would overflow.
  return kTangentRatio +
         (1 - std::exp(-static_cast<double>(N) / values_[kDamp])) * (x - kTangentRatio);
}

double CrackrateModel::CalcKeff(double K, int N, double R) const noexcept {
  if (R > kKeffRatioLimit) R = CalcReff(N, kNoRatio);
  return K * (1 - Setf(R)) / (1 - R);
}

double CrackrateModel::Paris(double dK) const noexcept {
  return values_[kC] * std::pow(dK, values_[kN]);
}

CrackrateModel::RateTerms CrackrateModel::TermsAt(double R, double DKth,
                                                  double Kmax) const noexcept {
  const double Kc = values_[kKc];
  return RateTerms{values_[kC],
                   values_[kN],
                   values_[kP],
                   DKth,
                   (1 - Setf(R)) / (1 - R),
                   std::pow(1 - Kmax / Kc, values_[kQ]),
                   values_[kQ] / (Kc * (1 - Kmax / Kc))};
}

double CrackrateModel::CalcRateCurve(double dK, double R, double DKth, double Kmax) const noexcept {
  return TermsAt(R, DKth, Kmax).Curve(dK);
}

double CrackrateModel::CalcRateSlope(double x, double DKth, double Kmax, double R) const noexcept {
  const RateTerms terms = TermsAt(R, DKth, Kmax);
  return terms.Slope(x, terms.Curve(x));
}

// The bisection of the tangent point, arranged for speed with results
// identical to evaluating CalcRateSlope / CalcRateCurve afresh at both
// ends in every step:
// - the terms of the rate curve (RateTerms, which CalcRateCurve and
//   CalcRateSlope use too) are taken once, and the curve is evaluated once
//   per point;
// - the sign of e(lo) is kept from the step that moved lo to the midpoint
//   whose sign was just found, as e is a pure function of x.
// Why it ends: the rounded midpoint of two finite ends lies between them,
// so a step that changes the bracket moves one end strictly inwards while
// the width halves; within a few thousand steps the ends are adjacent
// doubles, and then the midpoint is one of them and the next step would
// change nothing. An infinite or NaN end gives a NaN width (the loop ends)
// or a midpoint equal to an end within two steps.
double CrackrateModel::FindTangentDK(double lo, double hi, double R, double DKth,
                                     double Kmax) const noexcept {
  const double np = values_[kNp];
  const RateTerms terms = TermsAt(R, DKth, Kmax);
  // Logarithmic slope of the rate curve minus the power-law exponent.
  auto excess = [&](double x) {
    const double curve = terms.Curve(x);
    return terms.Slope(x, curve) / curve * x - np;
  };
  const double tol = lo / 1000;
  const int loSign = Sign(excess(lo));
  while (std::fabs(hi - lo) > tol) {
    const double mid = (hi - lo) * 0.5 + lo;
    const int midSign = Sign(excess(mid));
    const bool keepsSign = loSign == midSign;
    // A step whose midpoint is an end already (an infinite end, or a
    // bracket narrower than the spacing of doubles while the tolerance is
    // smaller still) would repeat itself forever: stop where it stands.
    if (mid == (keepsSign ? lo : hi)) break;
    if (keepsSign) {
      lo = mid;  // e(lo) keeps its sign
    } else {
      hi = mid;
    }
  }
  return (hi - lo) * 0.5 + lo;
}

double CrackrateModel::Calc_Crackrate(double dK, double a, int N, double R,
                                      double DKth) const noexcept {
  if (!(R < kRateRatioLimit)) R = values_[kR];
  const double Reff = CalcReff(N, R);
  const double Kmax = dK / (1 - R);  // from R, not the effective ratio
  if (DKth < 0) DKth = Calc_DKth(a, Reff);
  const bool near = std::fabs(kTangentRatio - Reff) <= kTangentBand;
  if (near) {
    // Around the tangent ratio the rate follows the power law h dK^np that
    // touches the rate curve at l with the curve's logarithmic slope; the
    // tangent point lies between the threshold and sqrt(Kc DKth).
    const double Kc = values_[kKc];
    const double np = values_[kNp];
    const double hi = std::exp((std::log(Kc) + std::log(DKth)) * 0.5);
    const double l = FindTangentDK(DKth + kTangentOffset, hi, Reff, DKth, Kmax);
    const double h = std::exp(std::log(CalcRateCurve(l, Reff, DKth, Kmax)) - np * std::log(l));
    if (dK <= l) return h * std::pow(dK, np);
  }
  if (dK < DKth) return 0.0;
  return CalcRateCurve(dK, Reff, DKth, Kmax);
}

}  // namespace crackrate
