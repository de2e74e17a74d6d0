#include "column_tensor.h"

#include <cmath>

namespace hexad {
namespace {

// Sum of squared differences of the normal components.
inline double NormalSpread(const double t[6]) {
  const double a = t[kXX] - t[kYY];
  const double b = t[kYY] - t[kZZ];
  const double c = t[kZZ] - t[kXX];
  return a * a + b * b + c * c;
}

// Sum of squared off-diagonal components.
inline double ShearSquares(const double t[6]) {
  return t[kXY] * t[kXY] + t[kYZ] * t[kYZ] + t[kZX] * t[kZX];
}

// One plane rotation of an ordered pair of entries.
inline void Rotate(double& first, double& second, double s, double tau) {
  const double g = first;
  const double h = second;
  first = g - s * (h + g * tau);
  second = h + s * (g - h * tau);
}

}  // namespace

double Contract(const double a[6], const double b[6]) noexcept {
  return a[kYY] * b[kYY] + a[kXX] * b[kXX] + a[kZZ] * b[kZZ] + a[kXY] * b[kXY] + a[kYZ] * b[kYZ] +
         a[kZX] * b[kZX];
}

double Norm(const double t[6]) noexcept {
  const double diagonal = t[kXX] * t[kXX] + t[kYY] * t[kYY] + t[kZZ] * t[kZZ];
  return std::sqrt(diagonal + 2.0 * ShearSquares(t));
}

double I1(const double t[6]) noexcept { return t[kXX] + t[kYY] + t[kZZ]; }

double I2(const double t[6]) noexcept {
  return (t[kXX] * t[kYY] - t[kZX] * t[kZX]) + (t[kYY] * t[kZZ] - t[kXY] * t[kXY]) +
         (t[kXX] * t[kZZ] - t[kYZ] * t[kYZ]);
}

double I3(const double t[6]) noexcept {
  return t[kXX] * t[kYY] * t[kZZ] + 2.0 * t[kXY] * t[kYZ] * t[kZX] - t[kXX] * (t[kYZ] * t[kYZ]) -
         t[kYY] * (t[kZX] * t[kZX]) - t[kZZ] * (t[kXY] * t[kXY]);
}

double J2(const double t[6]) noexcept { return 0.1666666667 * NormalSpread(t) + ShearSquares(t); }

double EffectiveStress(const double t[6]) noexcept {
  return std::sqrt(0.5 * (NormalSpread(t) + 6.0 * ShearSquares(t)));
}

double EffectiveStrain(const double t[6]) noexcept {
  return std::sqrt((2.0 / 9.0) * (NormalSpread(t) + 1.5 * ShearSquares(t)));
}

void DeviatoricPart(const double t[6], double out[6]) noexcept {
  const double mean = (t[kXX] + t[kYY] + t[kZZ]) / 3.0;
  out[kXX] = t[kXX] - mean;
  out[kYY] = t[kYY] - mean;
  out[kZZ] = t[kZZ] - mean;
  out[kXY] = t[kXY];
  out[kYZ] = t[kYZ];
  out[kZX] = t[kZX];
}

void Traction(const double t[6], const double n[3], double out[3]) noexcept {
  const double r[3] = {t[kXX] * n[0] + t[kXY] * n[1] + t[kZX] * n[2],
                       t[kXY] * n[0] + t[kYY] * n[1] + t[kYZ] * n[2],
                       t[kZX] * n[0] + t[kYZ] * n[1] + t[kZZ] * n[2]};
  for (int i = 0; i < 3; ++i) out[i] = r[i];
}

namespace {

// The state of one tensor's rotation solver: the upper off-diagonal entries
// of the working matrix, indexed by pair (0 is a01, 1 is a02, 2 is a12),
// the accumulators b and z, and the values and directions being found.
struct Lane {
  double off[3];
  double b[3];
  double z[3];
  Principal r;
  bool done;
};

// The pairs (p, q) in visiting order, the pair index of a_pq and the
// indices of the other two entries as the ordered pair the rotation
// carries along.
constexpr int kP[3] = {0, 0, 1};
constexpr int kQ[3] = {1, 2, 2};
constexpr int kFirst[3] = {1, 0, 0};
constexpr int kSecond[3] = {2, 2, 1};

void Start(const double t[6], Lane& s) {
  s.off[0] = t[kXY];
  s.off[1] = t[kZX];
  s.off[2] = t[kYZ];
  s.b[0] = t[kXX];
  s.b[1] = t[kYY];
  s.b[2] = t[kZZ];
  for (int i = 0; i < 3; ++i) {
    s.z[i] = 0.0;
    s.r.values[i] = s.b[i];
    for (int j = 0; j < 3; ++j) s.r.directions[i][j] = i == j ? 1.0 : 0.0;
  }
  s.r.sweeps = 0;
  s.done = false;
}

// Pair `pair` of sweep `sweep`.
inline void Visit(Lane& s, int sweep, int pair, double threshold) {
  double* d = s.r.values;
  double(*v)[3] = s.r.directions;
  const int p = kP[pair];
  const int q = kQ[pair];
  double& apq = s.off[pair];
  // The underflow test of the classical cyclic method: after the first
  // four sweeps, an element so small that a hundred times it no longer
  // changes either diagonal element it couples (in double precision) is
  // set to zero without a rotation.
  const double g = 100.0 * std::fabs(apq);
  if (sweep >= 4 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
      std::fabs(d[q]) + g == std::fabs(d[q])) {
    apq = 0.0;
    return;
  }
  if (!(std::fabs(apq) > threshold)) return;
  double h = d[q] - d[p];
  double tangent;
  // theta = h / (2 apq) so large that its square would overflow: the
  // tangent is 1 / (2 theta) = apq / h.
  if (std::fabs(h) + g == std::fabs(h)) {
    tangent = apq / h;
  } else {
    const double theta = 0.5 * h / apq;
    tangent = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
    if (theta < 0.0) tangent = -tangent;
  }
  const double c = 1.0 / std::sqrt(tangent * tangent + 1.0);
  const double sine = tangent * c;
  const double tau = sine / (1.0 + c);
  h = tangent * apq;
  s.z[p] -= h;
  s.z[q] += h;
  d[p] -= h;
  d[q] += h;
  apq = 0.0;
  Rotate(s.off[kFirst[pair]], s.off[kSecond[pair]], sine, tau);
  for (int j = 0; j < 3; ++j) Rotate(v[j][p], v[j][q], sine, tau);
}

// The sweeps of L solvers in lockstep: each lane does exactly what it would
// alone (so its results are the same bit for bit), but the lanes' chains
// of divisions and square roots, which bound one solver's speed, overlap.
template <int L>
void Solve(Lane (&lanes)[L]) {
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    double threshold[L] = {};
    bool any = false;
    for (int l = 0; l < L; ++l) {
      Lane& s = lanes[l];
      if (s.done) continue;
      const double sm = std::fabs(s.off[0]) + std::fabs(s.off[1]) + std::fabs(s.off[2]);
      if (sm == 0.0) {
        s.done = true;
        continue;
      }
      s.r.sweeps = sweep + 1;
      // The thresholds of the classical cyclic method: in the first four
      // sweeps, rotations of elements no larger than a fifth of the mean
      // off-diagonal size, 0.2 * sm / n^2 with n = 3, are skipped (they buy
      // little while the large elements still dominate); afterwards every
      // nonzero element is rotated.
      threshold[l] = sweep < 4 ? 0.2 * sm / 9.0 : 0.0;
      any = true;
    }
    if (!any) return;
    for (int pair = 0; pair < 3; ++pair) {
      for (int l = 0; l < L; ++l) {
        if (!lanes[l].done) Visit(lanes[l], sweep, pair, threshold[l]);
      }
    }
    for (int l = 0; l < L; ++l) {
      Lane& s = lanes[l];
      if (s.done) continue;
      for (int i = 0; i < 3; ++i) {
        s.b[i] += s.z[i];
        s.r.values[i] = s.b[i];
        s.z[i] = 0.0;
      }
    }
  }
}

void Finish(Lane& s) {
  double* d = s.r.values;
  double(*v)[3] = s.r.directions;
  // A NaN off-diagonal entry never rotates (no comparison with it holds),
  // so the diagonal would come out finite and meaningless; such a tensor
  // has no principal values, and NaNs say so.
  if (std::isnan(s.off[0] + s.off[1] + s.off[2])) {
    for (int i = 0; i < 3; ++i) {
      d[i] = std::nan("");
      for (int j = 0; j < 3; ++j) v[i][j] = std::nan("");
    }
  }
  // Which NaN an operation on infinities gives (its sign, its payload)
  // depends on the order the compiled code takes the operands in, which
  // differs between one solver and several in lockstep: every NaN is made
  // the one NaN, so that both give the same bits.
  for (int i = 0; i < 3; ++i) {
    if (std::isnan(d[i])) d[i] = std::nan("");
    for (int j = 0; j < 3; ++j) {
      if (std::isnan(v[i][j])) v[i][j] = std::nan("");
    }
  }
  // Descending order; a value moves only past a strictly smaller one.
  for (int i = 0; i < 2; ++i) {
    for (int j = i + 1; j < 3; ++j) {
      if (d[j] > d[i]) {
        const double value = d[i];
        d[i] = d[j];
        d[j] = value;
        for (int row = 0; row < 3; ++row) {
          const double x = v[row][i];
          v[row][i] = v[row][j];
          v[row][j] = x;
        }
      }
    }
  }
}

}  // namespace

Principal SolvePrincipal(const double t[6]) noexcept {
  Lane lanes[1];
  Start(t, lanes[0]);
  Solve(lanes);
  Finish(lanes[0]);
  return lanes[0].r;
}

void SolvePrincipalLanes(const double* t, Principal* out) noexcept {
  Lane lanes[kPrincipalLanes];
  for (int l = 0; l < kPrincipalLanes; ++l) Start(t + l * kComponents, lanes[l]);
  Solve(lanes);
  for (int l = 0; l < kPrincipalLanes; ++l) {
    Finish(lanes[l]);
    out[l] = lanes[l].r;
  }
}

}  // namespace hexad
