#include "full_tensor.h"

namespace ennead {

// Written out term by term (27 multiplications, no loop) into a local
// result first, so that `out` may alias an operand. The sums are left to
// right with no fused multiply-add: the build keeps floating-point
// contraction off for this file, so results are the same on every target.
void Product(const double a[9], const double b[9], double out[9]) noexcept {
  const double r[9] = {
      a[0] * b[0] + a[1] * b[3] + a[2] * b[6], a[0] * b[1] + a[1] * b[4] + a[2] * b[7],
      a[0] * b[2] + a[1] * b[5] + a[2] * b[8], a[3] * b[0] + a[4] * b[3] + a[5] * b[6],
      a[3] * b[1] + a[4] * b[4] + a[5] * b[7], a[3] * b[2] + a[4] * b[5] + a[5] * b[8],
      a[6] * b[0] + a[7] * b[3] + a[8] * b[6], a[6] * b[1] + a[7] * b[4] + a[8] * b[7],
      a[6] * b[2] + a[7] * b[5] + a[8] * b[8],
  };
  for (int i = 0; i < 9; ++i) out[i] = r[i];
}

void Transpose(const double a[9], double out[9]) noexcept {
  const double r[9] = {a[0], a[3], a[6], a[1], a[4], a[7], a[2], a[5], a[8]};
  for (int i = 0; i < 9; ++i) out[i] = r[i];
}

double Trace(const double a[9]) noexcept { return a[kXX] + a[kYY] + a[kZZ]; }

namespace {

// The adjugate (transposed cofactor matrix), row by row: entry (i, j) is
// the cofactor of a(j, i). Its first column holds the cofactors of the
// first row, which the determinant expands along.
void Adjugate(const double a[9], double adj[9]) noexcept {
  adj[0] = a[4] * a[8] - a[5] * a[7];
  adj[1] = a[2] * a[7] - a[1] * a[8];
  adj[2] = a[1] * a[5] - a[2] * a[4];
  adj[3] = a[5] * a[6] - a[3] * a[8];
  adj[4] = a[0] * a[8] - a[2] * a[6];
  adj[5] = a[2] * a[3] - a[0] * a[5];
  adj[6] = a[3] * a[7] - a[4] * a[6];
  adj[7] = a[1] * a[6] - a[0] * a[7];
  adj[8] = a[0] * a[4] - a[1] * a[3];
}

double ExpandFirstRow(const double a[9], const double adj[9]) noexcept {
  return a[0] * adj[0] + a[1] * adj[3] + a[2] * adj[6];
}

}  // namespace

double Determinant(const double a[9]) noexcept {
  double adj[9];
  Adjugate(a, adj);
  return ExpandFirstRow(a, adj);
}

void Inverse(const double a[9], double out[9]) noexcept {
  double adj[9];
  Adjugate(a, adj);
  const double det = ExpandFirstRow(a, adj);
  for (int i = 0; i < 9; ++i) out[i] = adj[i] / det;
}

void Apply(const double a[9], const double v[3], double out[3]) noexcept {
  const double r[3] = {a[0] * v[0] + a[1] * v[1] + a[2] * v[2],
                       a[3] * v[0] + a[4] * v[1] + a[5] * v[2],
                       a[6] * v[0] + a[7] * v[1] + a[8] * v[2]};
  for (int i = 0; i < 3; ++i) out[i] = r[i];
}

}  // namespace ennead
