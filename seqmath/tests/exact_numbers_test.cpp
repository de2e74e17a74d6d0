#include "exact_numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
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

__extension__ typedef unsigned __int128 UnsignedWide;

// The double nearest to a / b (ties to even), found by long division of
// the magnitudes to 55 significant bits and a sticky bit, then rounded by
// hand: a way to the correctly rounded quotient that never divides
// doubles. |a| and |b| are at most 2**53 and b is not 0.
double RoundedQuotient(long a, long b) {
  const bool negative = (a < 0) != (b < 0);
  const unsigned long n = a < 0 ? 0UL - static_cast<unsigned long>(a) : a;
  const unsigned long d = b < 0 ? 0UL - static_cast<unsigned long>(b) : b;
  if (n == 0) return negative ? -0.0 : 0.0;
  // The smallest shift k that gives n * 2**k / d at least 2**54; since
  // n / d >= 2**-53, n * 2**k stays below d * 2**55 <= 2**108.
  int k = 0;
  while ((static_cast<UnsignedWide>(n) << k) / d < (static_cast<UnsignedWide>(1) << 54)) ++k;
  const UnsignedWide scaled = static_cast<UnsignedWide>(n) << k;
  unsigned long q = static_cast<unsigned long>(scaled / d);  // 55 bits
  const bool sticky = scaled % d != 0;
  // Keep 53 bits: the two dropped bits and the sticky bit decide.
  const unsigned long dropped = q & 3;
  q >>= 2;
  if (dropped > 2 || (dropped == 2 && (sticky || (q & 1) != 0))) ++q;
  const double magnitude = std::ldexp(static_cast<double>(q), 2 - k);
  return negative ? -magnitude : magnitude;
}

TEST(ExactInts, TrueDivisionIsTheCorrectlyRoundedQuotientWithinADoublesExactInts) {
  constexpr long kExact = 1L << 53;
  std::vector<long> values = {1,
                              -1,
                              2,
                              3,
                              -3,
                              7,
                              10,
                              kExact,
                              -kExact,
                              kExact - 1,
                              -(kExact - 1),
                              kExact / 3,
                              1L << 52,
                              (1L << 52) + 1,
                              0};
  std::mt19937_64 rng(2024);
  for (int i = 0; i < 300; ++i) {
    const int bits = static_cast<int>(rng() % 54);
    const long magnitude = static_cast<long>(rng() >> (64 - bits - 1)) >> 1;
    values.push_back((rng() & 1) ? magnitude : -magnitude);
  }
  for (long a : values) {
    for (long b : values) {
      if (b == 0) continue;
      double q = 0.5;
      ASSERT_TRUE(seqmath::TrueDivideInts(a, b, &q)) << a << " / " << b;
      const double want = RoundedQuotient(a, b);
      ASSERT_EQ(std::signbit(q), std::signbit(want)) << a << " / " << b;
      ASSERT_EQ(q, want) << a << " / " << b;
    }
  }
}

TEST(ExactInts, TrueDivisionRefusesZeroDivisorsAndIntsBeyondADoublesExactInts) {
  constexpr long kExact = 1L << 53;
  const long beyond[] = {kExact + 1, -kExact - 1, LONG_MAX, LONG_MIN, 1L << 62};
  for (long a : {0L, 1L, -5L, kExact, LONG_MAX, LONG_MIN}) {
    double q = 0.5;
    EXPECT_FALSE(seqmath::TrueDivideInts(a, 0, &q)) << a;
    EXPECT_EQ(q, 0.5);
  }
  for (long big : beyond) {
    for (long small : {1L, -3L, kExact}) {
      double q = 0.5;
      EXPECT_FALSE(seqmath::TrueDivideInts(big, small, &q)) << big << " / " << small;
      EXPECT_FALSE(seqmath::TrueDivideInts(small, big, &q)) << small << " / " << big;
      EXPECT_EQ(q, 0.5);
    }
  }
}

}  // namespace
