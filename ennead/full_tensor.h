// Native core of the full tensor: a general (not necessarily symmetric)
// second-order tensor held as nine doubles row by row, xx xy xz yx yy yz zx
// zy zz, so that component (row r, column c) sits at index 3*r + c.
//
// Plain C++ with no interpreter dependency, so that the Python type and
// native callers share one implementation and it can be tested and timed on
// its own. Nothing here validates its input: infinities and NaNs propagate
// through IEEE arithmetic.
#pragma once

namespace ennead {

// Positions of the components in the nine-double row-by-row layout.
enum Component : int {
  kXX = 0,
  kXY = 1,
  kXZ = 2,
  kYX = 3,
  kYY = 4,
  kYZ = 5,
  kZX = 6,
  kZY = 7,
  kZZ = 8
};
constexpr int kComponents = 9;
constexpr int kRows = 3;
constexpr int kColumns = 3;

// The storage index of (row, column); both must be 0 to 2.
constexpr int Index(int row, int column) noexcept { return 3 * row + column; }

// The matrix product a.b: out(i, j) = a(i, 0)*b(0, j) + a(i, 1)*b(1, j)
// + a(i, 2)*b(2, j), the left operand's row with the right operand's
// column, summed in that order. `out` may be the same array as a or b.
void Product(const double a[9], const double b[9], double out[9]) noexcept;

}  // namespace ennead
