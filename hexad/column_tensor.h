// Native core of the column tensor: a symmetric second-order tensor held as
// six doubles in the order xx, yy, zz, xy, yz, zx, its scalar measures, its
// deviatoric part and its principal values and directions.
//
// Plain C++ with no interpreter dependency, so that the Python type, other
// tensor modules and native callers share one implementation and it can be
// tested and timed on its own. Nothing here validates its input: infinities
// and NaNs propagate through IEEE arithmetic.
#pragma once

namespace hexad {

// Positions of the components in the six-double column.
enum Component : int { kXX = 0, kYY = 1, kZZ = 2, kXY = 3, kYZ = 4, kZX = 5 };
constexpr int kComponents = 6;

// Number of cyclic sweeps after which the rotation solver gives up and
// returns the values and directions it has reached.
constexpr int kMaxSweeps = 50;

// The double contraction of two tensors, each stored off-diagonal component
// entering once: a.yy*b.yy + a.xx*b.xx + a.zz*b.zz + a.xy*b.xy + a.yz*b.yz
// + a.zx*b.zx, summed left to right.
double Contract(const double a[6], const double b[6]) noexcept;

// Square root of the sum of squares of all nine matrix entries.
double Norm(const double t[6]) noexcept;

// The three invariants of the matrix: trace, sum of principal 2x2 minors,
// determinant.
double I1(const double t[6]) noexcept;
double I2(const double t[6]) noexcept;
double I3(const double t[6]) noexcept;

// Second invariant of the deviatoric part, with the factor 0.1666666667 on
// the squared normal differences.
double J2(const double t[6]) noexcept;

// Equivalent (von Mises) stress of a stress state.
double EffectiveStress(const double t[6]) noexcept;

// Equivalent strain of a strain state whose off-diagonal components are
// weighted as engineering shear strains.
double EffectiveStrain(const double t[6]) noexcept;

// The tensor minus its mean normal component on the diagonal.
void DeviatoricPart(const double t[6], double out[6]) noexcept;

// The traction on a plane of unit normal n: the full symmetric matrix
// applied to n, out[i] = row i . n with row 0 (xx, xy, zx), row 1
// (xy, yy, yz), row 2 (zx, yz, zz), each summed over n[0], n[1], n[2] in
// that order. n is used as given (not normalised). `out` may be n.
void Traction(const double t[6], const double n[3], double out[3]) noexcept;

// Principal values in descending order and the unit principal directions:
// column k of `directions` (directions[0][k], directions[1][k],
// directions[2][k]) belongs to values[k]. `sweeps` is the number of sweeps
// the solver started (0 when the tensor is already diagonal).
struct Principal {
  double values[3];
  double directions[3][3];
  int sweeps;
};

// Cyclic rotation (Jacobi) solver on a private copy of the matrix, followed
// by a descending sort that keeps equal values in their order. When an
// off-diagonal entry is still a NaN at the end, values and directions are
// all NaN.
Principal SolvePrincipal(const double t[6]) noexcept;

// SolvePrincipal of kPrincipalLanes tensors at once (t holds them row
// after row), each result the same bit for bit as alone; faster than one
// call each, since the solvers' chains of divisions and square roots
// overlap (the batch functions' loop).
constexpr int kPrincipalLanes = 2;
void SolvePrincipalLanes(const double* t, Principal* out) noexcept;

}  // namespace hexad
