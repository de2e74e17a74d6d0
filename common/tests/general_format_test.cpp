#include "general_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string Ours(double v) {
  char text[textformat::kGeneralFieldWidth];
  char* end = textformat::FormatGeneral(text, text + sizeof text, v);
  return std::string(text, end);
}

// The test process runs in the C locale, where snprintf's "%g" is the
// reference.
std::string Printf(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

TEST(GeneralFormat, AgreesWithPrintfOnValuesAtTheFormatsBoundaries) {
  ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  const double values[] = {0.0,
                           -0.0,
                           0.5,
                           1.25,
                           -3,
                           0.1,
                           1e20,
                           1e-5,
                           1e-4,
                           9.99999e-5,
                           9.999995e-5,
                           0.00010000005,
                           999999.0,
                           999999.4,
                           999999.5,
                           1e6,
                           123456789,
                           1.0 / 3,
                           2.5e-300,
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(),
                           0.5e-323,
                           1.5,
                           2.5,
                           0.125,
                           1234565,
                           1234575,
                           12345650,
                           0.0000123456789};
  for (double v : values) {
    EXPECT_EQ(Ours(v), Printf(v)) << v;
    EXPECT_EQ(Ours(-v), Printf(-v)) << -v;
  }
}

TEST(GeneralFormat, AgreesWithPrintfOnRandomFiniteDoubles) {
  std::mt19937_64 rng(13);
  std::uniform_int_distribution<int> digits(1, 7);
  int checked = 0;
  while (checked < 1000000) {
    // Every bit pattern, and short decimals whose rounding sits on a tie.
    const std::uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    if (checked % 2 == 1) {
      v = std::round(std::ldexp(static_cast<double>(bits >> 40), -digits(rng)) * 1e3) / 1e3;
    }
    ASSERT_EQ(Ours(v), Printf(v)) << std::hexfloat << v;
    ++checked;
  }
}

TEST(GeneralFormat, NonFiniteValuesPrintAsTheCLibraryPrintsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {inf, -inf, nan, std::copysign(nan, -1.0)}) EXPECT_EQ(Ours(v), Printf(v));
}

}  // namespace
