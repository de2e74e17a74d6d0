// The interpreter's arithmetic on plain ints (C long) and floats (double),
// for the cases where it yields a plain int or a float.
//
// Each function writes the value the interpreter's own operator gives and
// returns true, or returns false (writing nothing) where that operator does
// something else: an int result that overflows a long (the interpreter
// moves on to long integers) and division by zero (ZeroDivisionError).
// Callers hand those cases to the interpreter, which then gives its own
// result or exception. Plain C++, no interpreter dependency.
#pragma once

#include <climits>

namespace seqmath {

inline bool AddInts(long a, long b, long* sum) noexcept {
  return !__builtin_add_overflow(a, b, sum);
}

inline bool SubtractInts(long a, long b, long* difference) noexcept {
  return !__builtin_sub_overflow(a, b, difference);
}

inline bool MultiplyInts(long a, long b, long* product) noexcept {
  return !__builtin_mul_overflow(a, b, product);
}

// Classic int division floors the quotient (rounds towards minus infinity).
// LONG_MIN / -1 overflows; a zero divisor raises.
inline bool DivideInts(long a, long b, long* quotient) noexcept {
  if (b == 0 || (b == -1 && a == LONG_MIN)) return false;
  long q = a / b;
  long r = a - q * b;
  // C++ truncates towards zero: a remainder whose sign differs from the
  // divisor's means the floored quotient is one less.
  if (r != 0 && ((r < 0) != (b < 0))) --q;
  *quotient = q;
  return true;
}

// Python 3's true division of two ints is their exact quotient rounded once
// to a double. Ints of at most 53 bits are doubles exactly, and one IEEE
// division of exact operands rounds the exact quotient once: the same value.
// Larger ints, whose conversion would round first, and a zero divisor are
// left to the interpreter.
inline bool TrueDivideInts(long a, long b, double* quotient) noexcept {
  constexpr long kExact = 1L << 53;
  if (b == 0 || a > kExact || a < -kExact || b > kExact || b < -kExact) return false;
  *quotient = static_cast<double>(a) / static_cast<double>(b);
  return true;
}

// Floats: IEEE double arithmetic; an int operand enters as (double) of its
// value, as the interpreter's float operations convert it. Only division
// refuses, on a zero divisor (of either sign), where the interpreter raises
// instead of giving an infinity or NaN.
inline bool AddFloats(double a, double b, double* sum) noexcept {
  *sum = a + b;
  return true;
}

inline bool SubtractFloats(double a, double b, double* difference) noexcept {
  *difference = a - b;
  return true;
}

inline bool MultiplyFloats(double a, double b, double* product) noexcept {
  *product = a * b;
  return true;
}

inline bool DivideFloats(double a, double b, double* quotient) noexcept {
  if (b == 0.0) return false;
  *quotient = a / b;
  return true;
}

}  // namespace seqmath
