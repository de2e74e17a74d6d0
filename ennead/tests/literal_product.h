// The matrix product as first written: result (i, j) is the sum over k of
// a(i, k)*b(k, j), k running 0, 1, 2, with the components at 3*row + column.
// The oracle of the native tests and the fuzz target.
#pragma once

namespace ennead_testing {

inline void LiteralProduct(const double a[9], const double b[9], double out[9]) {
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = a[3 * i + 0] * b[0 * 3 + j];
      sum = sum + a[3 * i + 1] * b[1 * 3 + j];
      sum = sum + a[3 * i + 2] * b[2 * 3 + j];
      out[3 * i + j] = sum;
    }
  }
}

}  // namespace ennead_testing
