// Decodes the bytes into (operation, a, b) triples of plain ints and checks
// every int rule against exact 128-bit arithmetic: a result exactly when the
// true value fits a long, and then the true value (the floored quotient for
// division).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../tests/wide_reference.h"
#include "exact_numbers.h"

namespace {

using seqmath_reference::FitsLong;
using seqmath_reference::Wide;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckOne(unsigned op, long a, long b) {
  long r = 0;
  switch (op % 4) {
    case 0: {
      const Wide v = Wide(a) + b;
      const bool done = seqmath::AddInts(a, b, &r);
      Check(done == FitsLong(v) && (!done || r == v));
      break;
    }
    case 1: {
      const Wide v = Wide(a) - b;
      const bool done = seqmath::SubtractInts(a, b, &r);
      Check(done == FitsLong(v) && (!done || r == v));
      break;
    }
    case 2: {
      const Wide v = Wide(a) * b;
      const bool done = seqmath::MultiplyInts(a, b, &r);
      Check(done == FitsLong(v) && (!done || r == v));
      break;
    }
    default: {
      const bool done = seqmath::DivideInts(a, b, &r);
      const bool defined = b != 0 && !(b == -1 && a == LONG_MIN);
      Check(done == defined && (!done || seqmath_reference::IsFlooredQuotient(a, b, r)));
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kRecord = 1 + 2 * sizeof(long);
  for (size_t at = 0; at + kRecord <= size; at += kRecord) {
    long a, b;
    std::memcpy(&a, data + at + 1, sizeof a);
    std::memcpy(&b, data + at + 1 + sizeof a, sizeof b);
    CheckOne(data[at], a, b);
  }
  return 0;
}
