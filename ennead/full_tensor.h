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

// The transpose: out(i, j) = a(j, i). `out` may be the same array as a.
void Transpose(const double a[9], double out[9]) noexcept;

// a(0, 0) + a(1, 1) + a(2, 2), summed in that order.
double Trace(const double a[9]) noexcept;

// The determinant, expanded along the first row with the cofactors that
// Inverse divides by it: a00*(a11*a22 - a12*a21) + a01*(a12*a20 - a10*a22)
// + a02*(a10*a21 - a11*a20).
double Determinant(const double a[9]) noexcept;

// The inverse, each entry of the adjugate divided by Determinant(a). No
// test of singularity: a zero determinant gives infinities and NaNs (IEEE
// division), as division by zero does everywhere in these modules. `out`
// may be the same array as a.
void Inverse(const double a[9], double out[9]) noexcept;

// The tensor applied to a vector: out[i] = a(i, 0)*v[0] + a(i, 1)*v[1]
// + a(i, 2)*v[2], summed in that order. `out` may be the same array as v.
void Apply(const double a[9], const double v[3], double out[3]) noexcept;

}  // namespace ennead
