#include "exact_numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "wide_reference.h"

namespace {

using seqmath_reference::FitsLong;
using seqmath_reference::IsFlooredQuotient;
using seqmath_reference::Wide;

// Boundary values where overflow and rounding cases live, then random
// values of every magnitude.
std::vector<long> SampleInts() {
  std::vector<long> v = {0,
                         1,
                         -1,
                         2,
                         -2,
                         3,
                         -3,
                         7,
                         -7,
                         LONG_MAX,
                         LONG_MIN,
                         LONG_MAX - 1,
                         LONG_MIN + 1,
                         LONG_MAX / 2,
                         LONG_MIN / 2,
                         3037000499L,
                         -3037000499L,
                         3037000500L,
                         -3037000500L,
                         1L << 32};
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 200; ++i) {
    const int bits = static_cast<int>(rng() % 64);
    v.push_back(static_cast<long>(rng() >> (63 - bits)) * ((rng() & 1) ? 1 : -1));
  }
  return v;
}

// A rule's answer is right when it gives a result exactly when the true
// value fits a long, and then the true value.
::testing::AssertionResult Matches(bool done, long r, Wide exact) {
  if (done != FitsLong(exact)) return ::testing::AssertionFailure() << "wrong refusal";
  if (done && Wide(r) != exact) return ::testing::AssertionFailure() << "gave " << r;
  return ::testing::AssertionSuccess();
}

TEST(ExactInts, AgreeWithExactArithmeticAndRefuseExactlyTheOverflows) {
  const std::vector<long> values = SampleInts();
  for (long a : values) {
    for (long b : values) {
      long r = 0;
      bool done = seqmath::AddInts(a, b, &r);
      ASSERT_TRUE(Matches(done, r, Wide(a) + b)) << a << " + " << b;
      done = seqmath::SubtractInts(a, b, &r);
      ASSERT_TRUE(Matches(done, r, Wide(a) - b)) << a << " - " << b;
      done = seqmath::MultiplyInts(a, b, &r);
      ASSERT_TRUE(Matches(done, r, Wide(a) * b)) << a << " * " << b;
    }
  }
}

TEST(ExactInts, DivisionFloorsAndRefusesZeroAndTheOneOverflow) {
  const std::vector<long> values = SampleInts();
  for (long a : values) {
    for (long b : values) {
      long q = 12345;
      const bool done = seqmath::DivideInts(a, b, &q);
      if (b == 0 || (a == LONG_MIN && b == -1)) {
        ASSERT_FALSE(done) << a << " / " << b;
        ASSERT_EQ(q, 12345);
        continue;
      }
      ASSERT_TRUE(done) << a << " / " << b;
      ASSERT_TRUE(IsFlooredQuotient(a, b, q)) << a << " / " << b << " gave " << q;
    }
  }
}

}  // namespace
