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

}  // namespace ennead
