#include "strings/format_float.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kDenormMin = std::numeric_limits<double>::denorm_min();
const unsigned kAll = kFlagPlus | kFlagSpace | kFlagAlt | kFlagZero | kFlagLeft;

std::string Text(const FloatText& t) { return std::string(t.text, t.length); }

// The text with '|' at the zero-fill point, so each row also checks zeroAt.
std::string Marked(const FloatText& t) {
  std::string s = Text(t);
  return s.insert(static_cast<size_t>(t.zeroAt), "|");
}

std::string Float(char letter, unsigned flags, int precision, double value) {
  FloatText t;
  FormatFloat(letter, flags, precision, value, &t);
  return Marked(t);
}

std::string Size(bool isSigned, unsigned flags, int precision, uint64_t magnitude,
                 bool negative) {
  FloatText t;
  FormatScaledSize(isSigned, flags, precision, magnitude, negative, &t);
  return Marked(t);
}

struct FloatRow {
  char letter;
  unsigned flags;
  int precision;
  double value;
  const char* expected;
};

void CheckRows(const FloatRow* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const FloatRow& r = rows[i];
    SCOPED_TRACE(std::string("%") + r.letter + " prec " + std::to_string(r.precision) + " -> " +
                 r.expected);
    EXPECT_EQ(Float(r.letter, r.flags, r.precision, r.value), r.expected);
  }
}

TEST(FormatFloat, FixedAndExponent) {
  const FloatRow rows[] = {
      {'f', 0, 0, 1.5, "|1.500000"},
      {'f', 0, 2, -2.5, "-|2.50"},
      {'f', 0, 0, kInf, "|{+inf}"},
      {'f', kFlagPlus, 3, -kInf, "|{-inf}"},
      {'e', kFlagPlus, 3, kNan, "|{ nan}"},
      {'f', 0, 6, -1e-10, "-|0.000000"},  // negative, rounds to zero: keeps "-"
      {'f', 0, -3, -0.0, "|0.000000"},     // negative zero: no "-"
      {'f', kFlagPlus, 1, 2.0, "+|2.0"},
      {'f', kFlagSpace, 1, 2.0, " |2.0"},
      {'f', 0, 2, 0.125, "|0.12"},  // exact tie: to even
      {'f', 0, 2, 2.675, "|2.67"},  // binary value just below the tie
      {'f', 0, 1, 0.15, "|0.1"},
      {'f', 0, 1, 0.15000000000000002, "|0.2"},  // one ulp above
      {'f', 0, 1, 0.45, "|0.5"},                 // binary value just above the tie
      {'f', 0, 3, 999.9996, "|1000.000"},
      {'e', 0, 0, 12345.678, "|1.234568e+04"},
      {'E', 0, 0, 1e-300, "|1.000000E-300"},
      {'e', 0, 2, 0.0, "|0.00e+00"},
      {'e', 0, -1, -0.0, "|0.000000e+00"},
      {'e', 0, 2, 9.996, "|1.00e+01"},  // carry bumps the exponent
      {'e', kFlagPlus, 1, 1e100, "+|1.0e+100"},
      {'e', 0, 1, 2.25, "|2.2e+00"},
  };
  CheckRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(FormatFloat, General) {
  const FloatRow rows[] = {
      {'g', 0, 0, 3.14159, "|3"},  // no precision: one digit
      {'g', 0, 4, 3.14159, "|3.142"},
      {'g', 0, 4, 0.00001234, "|1.234e-05"},
      {'g', kFlagAlt, 4, 2.0, "|2.000"},
      {'g', 0, -1, 100000.0, "|100000"},
      {'g', 0, -1, 1e6, "|1e+06"},
      {'g', 0, 6, 0.0001, "|0.0001"},
      {'g', 0, 0, 0.0, "|0"},
      {'g', kFlagAlt, 3, 0.0, "|0.00"},
      {'G', 0, 3, 1.5e-10, "|1.5E-10"},
      {'G', kFlagAlt, 3, 1e-10, "|1.00E-10"},
      {'g', 0, 2, 99.5, "|1e+02"},  // exponent taken after rounding
      {'g', 0, 3, 120.0, "|120"},   // integer zeros stay
      {'g', 0, 1, 9.5, "|1e+01"},
      {'g', kFlagAlt, 1, 5.0, "|5."},
      {'g', kFlagAlt, 1, 1e10, "|1.e+10"},
  };
  CheckRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(FormatFloat, Hex) {
  const FloatRow rows[] = {
      {'a', 0, 0, 1.0, "0x|1p+0"},
      {'a', 0, 1, 1.75, "0x|1.cp+0"},
      {'A', 0, 0, 1.75, "0x|1.CP+0"},
      {'a', 0, 0, -0.0, "-0x|0p+0"},
      {'a', kFlagPlus, -5, 0.0, "+0x|0p+0"},
      {'a', kFlagAlt, 0, 1.0, "0x|1.p+0"},
      {'a', 0, 0, 0.5, "0x|1p-1"},
      {'a', 0, 1, 1.03125, "0x|1.1p+0"},  // tie rounds up, not to even
      {'a', 0, 1, 1.96875, "0x|2.0p+0"},  // carry into the lead digit
      {'A', 0, 2, 0x1.9ffp+0, "0x|1.A0P+0"},
      {'a', 0, 15, 1.0 + DBL_EPSILON, "0x|1.000000000000100p+0"},
      {'a', 0, 12, 1.0 + 8 * DBL_EPSILON, "0x|1.000000000001p+0"},
      {'a', 0, 0, kDenormMin, "0x|0.0000000000001p-1022"},
      {'a', 0, 1, 0x0.fffffffffffffp-1022, "0x|1.0p-1022"},
      {'a', 0, 0, DBL_MAX, "0x|1.fffffffffffffp+1023"},
  };
  CheckRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(FormatFloat, Engineering) {
  const FloatRow rows[] = {
      {'F', kFlagAlt, 0, 1234.5, "|1.23 k"},
      {'F', 0, 0, 0.00123, "|1.23e-03"},
      {'F', kFlagAlt, 0, 0.0000047, "|4.70 \xC2\xB5"},
      {'F', 0, 0, 0.5, "|500.e-03"},
      {'F', kFlagAlt, 2, 0.0, "|0.00  "},
      {'F', 0, 0, 12345.0, "|12.3e+03"},
      {'F', kFlagAlt, 4, -999.96, "-|1.000 k"},  // exponent after rounding
      {'F', kFlagAlt, 0, 2.5e25, "|25.0 Y"},
      {'F', kFlagAlt, 0, 1e27, "|1.00e+27"},
      {'F', kFlagAlt, 0, 1e-24, "|1.00 y"},
      {'F', kFlagAlt, 0, 1e-25, "|100.e-27"},
      {'F', 0, 0, 1e300, "|1.00e+300"},
      {'F', kFlagPlus, 0, 1.0, "+|1.00e+00"},
      {'F', 0, 5, 123456.0, "|123.46e+03"},
  };
  CheckRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(FormatScaledSize, Rows) {
  const uint64_t kMax = std::numeric_limits<uint64_t>::max();
  const struct {
    bool isSigned;
    unsigned flags;
    int precision;
    uint64_t magnitude;
    bool negative;
    const char* expected;
  } rows[] = {
      {false, kFlagAlt, 0, 1536, false, "|1.5 Ki"},
      {false, kFlagAlt, 3, 1048576, false, "|1.00 Mi"},
      {false, kFlagAlt, 0, 5, false, "|5.0   "},
      {false, 0, 0, 500, false, "|0.5b10"},
      {false, 0, 0, 0, false, "|0.0b00"},
      {false, 0, -1, 0, false, "|0.00b00"},
      {false, kFlagPlus, 1, 5, true, "|5.0b00"},  // U never has a sign
      {true, 0, 0, 5, true, "-|5.0b00"},
      {true, kFlagPlus, 0, 5, false, "+|5.0b00"},
      {false, 0, 0, 1023, false, "|1.0b10"},
      {false, 0, 0, 50, false, "|50.b00"},
      {false, 0, 3, 1000, false, "|0.98b10"},
      {false, 0, 3, 1048575, false, "|1.00b20"},    // rescaled, padded to 3 digits
      {false, 0, 0, (1ull << 60) - 1, false, "|1.0b60"},  // double rounds up to 1024
      {false, kFlagAlt, 0, kMax, false, "|16. Ei"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.magnitude) + " -> " + r.expected);
    EXPECT_EQ(Size(r.isSigned, r.flags, r.precision, r.magnitude, r.negative), r.expected);
  }
}

// 1e308 is an integer; all of its 309 digits.
const char k1e308Digits[] =
    "1000000000000000010979063629440455417404923096773118463368106829031575854049114915371633"
    "2897849468889906124966972117251561159028374314008832830700919814604603127166450293302718"
    "5697489699588559043338384466165001178426897626212945177628091195786707458122783970171784"
    "415105291802893207873272974885715430223118336";

TEST(FormatFloat, LongestExactDigits) {
  const std::string digits = k1e308Digits;
  ASSERT_EQ(digits.size(), 309u);
  EXPECT_EQ(Float('e', 0, 308, 1e308), "|1." + digits.substr(1) + "e+308");
  EXPECT_EQ(Float('f', 0, 308, 1e308), "|" + digits + "." + std::string(308, '0'));
  EXPECT_EQ(Float('f', 0, 308, DBL_MIN), "|0." + std::string(307, '0') + "2");
  EXPECT_EQ(Float('e', 0, 308, DBL_MIN).substr(0, 40), "|2.2250738585072013830902327173324040642");
  EXPECT_EQ(Float('e', 0, 308, DBL_MIN).substr(280), "0487479978088775374994945158045e-308");
  EXPECT_EQ(Float('e', 0, 308, kDenormMin).substr(280), "6238565591171026658556686768187e-324");
  EXPECT_EQ(Float('g', 0, 40, kDenormMin), "|4.940656458412465441765687928682213723651e-324");
  EXPECT_EQ(Float('g', 0, 0, kDenormMin), "|5e-324");

  FloatText t;
  FormatFloat('f', kFlagPlus, 308, -DBL_MAX, &t);
  const std::string s = Text(t);
  EXPECT_EQ(t.length, 1 + 309 + 1 + 308);
  EXPECT_EQ(s.substr(0, 18), "-17976931348623157");
  EXPECT_EQ(s.substr(309), "8." + std::string(308, '0'));
}

// Whatever the precision, value and flags: bounded text, sane zero point, and
// precisions past 308 behave as 308.
TEST(FormatFloat, ExtremeInputsStayInBounds) {
  const int precisions[] = {INT_MIN, -1, 0, 1, 12, 13, 14, 308, 309, INT_MAX};
  const double values[] = {DBL_MAX, -DBL_MAX, DBL_MIN, -kDenormMin, 0.0, -0.0, 0.5, kNan, -kInf};
  for (char letter : std::string("feEgGaAF")) {
    for (double v : values) {
      SCOPED_TRACE(std::string(1, letter) + " " + std::to_string(v));
      for (int p : precisions) {
        for (unsigned flags : {0u, kAll}) {
          FloatText t;
          FormatFloat(letter, flags, p, v, &t);
          ASSERT_GT(t.length, 0);
          ASSERT_LE(t.length, kFloatTextMax);
          ASSERT_LE(t.zeroAt, t.length);
        }
      }
      EXPECT_EQ(Float(letter, kAll, INT_MAX, v), Float(letter, kAll, 308, v));
    }
  }
  for (uint64_t m : {uint64_t{0}, uint64_t{1023}, ~uint64_t{0}}) {
    for (int p : precisions) {
      FloatText t;
      FormatScaledSize(true, kAll, p, m, true, &t);
      ASSERT_LE(t.length, kFloatTextMax);
    }
    EXPECT_EQ(Size(true, 0, INT_MAX, m, false), Size(true, 0, 308, m, false));
  }
}

#if !defined(_WIN32)
// glibc rounds exactly, so where the rules coincide with C the texts must match:
// f e E g G with a precision of at least 1 (any flags), a A without precision.
TEST(FormatFloat, MatchesGlibc) {
  std::mt19937_64 rng(20240611);
  char expected[1400];
  for (int i = 0; i < 3000; ++i) {
    double v;
    if (i % 2 == 0) {
      uint64_t bits = rng();
      std::memcpy(&v, &bits, sizeof v);
    } else {
      // Short decimals sit near rounding ties.
      v = static_cast<double>(rng() % 10000000) / std::pow(10.0, static_cast<int>(rng() % 12));
      if (rng() % 2) v = -v;
    }
    if (!std::isfinite(v) || (v == 0 && std::signbit(v))) continue;  // markers; "-0" differs
    const int precision = rng() % 8 == 0 ? 1 + static_cast<int>(rng() % 308)
                                         : 1 + static_cast<int>(rng() % 25);
    const unsigned flags = static_cast<unsigned>(rng()) & (kFlagPlus | kFlagSpace | kFlagAlt);
    std::string cflags;
    if (flags & kFlagPlus) cflags += '+';
    if (flags & kFlagSpace) cflags += ' ';
    if (flags & kFlagAlt) cflags += '#';
    for (char letter : std::string("feEgGaA")) {
      const bool hex = letter == 'a' || letter == 'A';
      const std::string format =
          "%" + cflags + (hex ? "" : "." + std::to_string(precision)) + letter;
      std::snprintf(expected, sizeof expected, format.c_str(), v);
      std::string want = expected;
      if (letter == 'A') want.replace(want.find("0X"), 2, "0x");
      FloatText t;
      FormatFloat(letter, flags, hex ? 0 : precision, v, &t);
      ASSERT_EQ(Text(t), want) << format << " of " << v;
    }
  }
}
#endif

}  // namespace
