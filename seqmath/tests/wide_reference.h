// Exact 128-bit reference for the plain-int rules of exact_numbers.h: what
// the true sum, difference, product and floored quotient are, and whether
// they fit a long.
#pragma once

#include <climits>

namespace seqmath_reference {

__extension__ typedef __int128 Wide;

inline bool FitsLong(Wide v) { return v >= LONG_MIN && v <= LONG_MAX; }

// The floored quotient by its defining property: the largest q with
// q * b <= a for b > 0, the smallest q with q * b >= a for b < 0 (that is,
// a - q * b lies in [0, b) or (b, 0]).
inline bool IsFlooredQuotient(long a, long b, Wide q) {
  const Wide rest = Wide(a) - q * Wide(b);
  return b > 0 ? (rest >= 0 && rest < b) : (rest <= 0 && rest > b);
}

}  // namespace seqmath_reference
