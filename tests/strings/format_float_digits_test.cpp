// Our exact digit generation against std::to_chars (the tests can afford its tables; the program
// does not link it): shortest digits, significant digits and decimals of a few million random
// and boundary doubles at random precisions must be the same texts.
#include "strings/format_float_digits.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Under Wine or the sanitizers a twentieth of the random values.
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 20;
#else
constexpr int kScale = 1;
#endif

double FromBits(uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

uint64_t BitsOf(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Digits and exponent of std::to_chars's scientific text ("d.ddde+xx"), as DecimalDigits holds them.
std::string Scientific(const char* begin, const char* end) {
  std::string digits;
  const char* p = begin;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  return digits + " e" + std::string(p + 1, end);
}

std::string ExpectedSignificant(double v, int count) {
  char buf[512];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, count - 1);
  EXPECT_EQ(r.ec, std::errc());
  return Scientific(buf, r.ptr);
}

std::string ExpectedShortest(double v) {
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  EXPECT_EQ(r.ec, std::errc());
  return Scientific(buf, r.ptr);
}

std::string ExpectedFixed(double v, int decimals) {
  char buf[kFixedTextMax + 16];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  EXPECT_EQ(r.ec, std::errc());
  return std::string(buf, r.ptr);
}

std::string ExponentText(int exponent) {
  std::string s = exponent < 0 ? "-" : "+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) s += '0';
  return s + std::to_string(magnitude);
}

std::string Ours(const DecimalDigits& d) {
  return std::string(d.digit, static_cast<size_t>(d.count)) + " e" + ExponentText(d.exponent);
}

std::string OursSignificant(double v, int count) {
  DecimalDigits d;
  SignificantDigits(v, count, &d);
  return Ours(d);
}

std::string OursShortest(double v) {
  DecimalDigits d;
  ShortestDigits(v, &d);
  return Ours(d);
}

std::string OursFixed(double v, int decimals) {
  char buf[kFixedTextMax];
  const int length = FixedDigits(v, decimals, buf);
  EXPECT_GE(length, 1);
  EXPECT_LE(length, kFixedTextMax);
  return std::string(buf, static_cast<size_t>(length));
}

// Boundary magnitudes: zero, the extremes, every power of two and of ten with the doubles two
// steps either side, integers around 2^53, and decimal ties.
std::vector<double> BoundaryValues() {
  std::vector<double> values = {0.0, DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(),
                                FromBits(0x000fffffffffffffull), 0.5, 1.0, 1.5, 2.5, 0.125, 0.375,
                                9007199254740992.0, 9007199254740993.0, 9007199254740991.0};
  auto withNeighbours = [&values](double v) {
    const uint64_t bits = BitsOf(v);
    for (int d = -2; d <= 2; ++d) {
      const uint64_t near = bits + static_cast<uint64_t>(static_cast<int64_t>(d));
      const double n = FromBits(near);
      if (std::isfinite(n) && !std::signbit(n)) values.push_back(n);
    }
  };
  for (int e = -1074; e <= 1023; ++e) withNeighbours(std::ldexp(1.0, e));
  // strtod, as std::stod refuses the values below DBL_MIN
  for (int e = -323; e <= 308; ++e) withNeighbours(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
  for (int e = -20; e <= 22; ++e) {
    for (int mantissa : {5, 15, 25, 125, 9995, 99995, 12345}) {
      withNeighbours(std::strtod((std::to_string(mantissa) + "e" + std::to_string(e)).c_str(), nullptr));
    }
  }
  return values;
}

// Random magnitudes: every bit pattern, short decimals (near rounding ties), and values with
// few significant bits (exact ties in the decimals).
class RandomValues {
 public:
  explicit RandomValues(uint64_t seed) : m_rng(seed) {}

  double Next() {
    for (;;) {
      double v = 0;
      switch (m_rng() % 4) {
        case 0:
        case 1:
          v = FromBits(m_rng() & 0x7fffffffffffffffull);
          break;
        case 2:
          v = static_cast<double>(m_rng() % 100000000) / std::pow(10.0, static_cast<int>(m_rng() % 30) - 8);
          break;
        default:
          v = std::ldexp(static_cast<double>(m_rng() % 4096), static_cast<int>(m_rng() % 2200) - 1100);
          break;
      }
      if (std::isfinite(v)) return std::fabs(v);
    }
  }

  // Mostly small counts, as texts use; one in eight up to the largest.
  int Precision(int max) { return m_rng() % 8 == 0 ? static_cast<int>(m_rng() % (max + 1)) : static_cast<int>(m_rng() % 25); }

 private:
  std::mt19937_64 m_rng;
};

TEST(FloatDigits, KnownTexts) {
  EXPECT_EQ(OursShortest(0.1), "1 e-01");
  EXPECT_EQ(OursShortest(0.0), "0 e+00");
  EXPECT_EQ(OursShortest(1e23), "1 e+23");
  EXPECT_EQ(OursShortest(5e-324), "5 e-324");
  EXPECT_EQ(OursShortest(DBL_MAX), "17976931348623157 e+308");
  EXPECT_EQ(OursShortest(123.456), "123456 e+02");
  EXPECT_EQ(OursSignificant(0.0, 3), "000 e+00");
  EXPECT_EQ(OursSignificant(9.5, 1), "1 e+01");  // ties to even: 9.5 -> 10
  EXPECT_EQ(OursSignificant(8.5, 1), "8 e+00");
  EXPECT_EQ(OursSignificant(2.675, 3), "267 e+00");  // just below the tie
  EXPECT_EQ(OursFixed(0.125, 2), "0.12");
  EXPECT_EQ(OursFixed(0.5, 0), "0");
  EXPECT_EQ(OursFixed(1.5, 0), "2");
  EXPECT_EQ(OursFixed(999.9996, 3), "1000.000");
  EXPECT_EQ(OursFixed(0.0, 3), "0.000");
  EXPECT_EQ(OursFixed(1e-10, 6), "0.000000");
  EXPECT_EQ(OursFixed(DBL_MAX, 0).size(), 309u);
  EXPECT_EQ(OursFixed(std::numeric_limits<double>::denorm_min(), 308), "0." + std::string(308, '0'));
}

TEST(FloatDigits, ClampsCountsAndDecimals) {
  EXPECT_EQ(OursSignificant(1.0, 0), OursSignificant(1.0, 1));
  EXPECT_EQ(OursSignificant(1.0, -5), OursSignificant(1.0, 1));
  EXPECT_EQ(OursSignificant(1.0, 100000), OursSignificant(1.0, kFloatDigitsMax));
  EXPECT_EQ(OursFixed(2.5, -1), "2");
  EXPECT_EQ(OursFixed(DBL_MAX, 100000), OursFixed(DBL_MAX, kFixedDecimalsMax));
  EXPECT_EQ(OursFixed(DBL_MAX, kFixedDecimalsMax).size(), static_cast<size_t>(kFixedTextMax));
  EXPECT_EQ(OursShortest(-2.5), OursShortest(2.5));  // the sign is ignored
}

TEST(FloatDigits, BoundaryValuesMatchToChars) {
  const std::vector<double> values = BoundaryValues();
  for (double v : values) {
    ASSERT_EQ(OursShortest(v), ExpectedShortest(v)) << std::hexfloat << v;
    for (int count : {1, 2, 3, 6, 15, 16, 17, 18, 40, kFloatDigitsMax}) {
      ASSERT_EQ(OursSignificant(v, count), ExpectedSignificant(v, count)) << std::hexfloat << v << " count " << count;
    }
    for (int decimals : {0, 1, 2, 6, 20, 100, kFixedDecimalsMax}) {
      ASSERT_EQ(OursFixed(v, decimals), ExpectedFixed(v, decimals)) << std::hexfloat << v << " decimals " << decimals;
    }
  }
}

TEST(FloatDigits, RandomShortestMatchesToChars) {
  RandomValues random(20250101);
  for (int i = 0; i < 2000000 / kScale; ++i) {
    const double v = random.Next();
    ASSERT_EQ(OursShortest(v), ExpectedShortest(v)) << std::hexfloat << v;
  }
}

TEST(FloatDigits, RandomSignificantMatchesToChars) {
  RandomValues random(20250102);
  for (int i = 0; i < 1000000 / kScale; ++i) {
    const double v = random.Next();
    const int count = 1 + random.Precision(kFloatDigitsMax - 1);
    ASSERT_EQ(OursSignificant(v, count), ExpectedSignificant(v, count)) << std::hexfloat << v << " count " << count;
  }
}

TEST(FloatDigits, RandomFixedMatchesToChars) {
  RandomValues random(20250103);
  for (int i = 0; i < 1000000 / kScale; ++i) {
    const double v = random.Next();
    const int decimals = random.Precision(kFixedDecimalsMax);
    ASSERT_EQ(OursFixed(v, decimals), ExpectedFixed(v, decimals)) << std::hexfloat << v << " decimals " << decimals;
  }
}

}  // namespace
