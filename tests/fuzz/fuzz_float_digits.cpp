// Our exact digit generation against std::to_chars on fuzzed doubles and precisions: the shortest
// digits, the significant digits and the decimals must be the same texts.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "strings/format_float_digits.h"

namespace {

// to_chars's scientific text as our digits and exponent: "d.ddde-xx" -> "dddd", -xx.
bool SameAsScientific(const DecimalDigits& d, const char* begin, const char* end) {
  int count = 0;
  const char* p = begin;
  for (; p < end && *p != 'e'; ++p) {
    if (*p == '.') continue;
    if (count >= d.count || d.digit[count] != *p) return false;
    ++count;
  }
  if (count != d.count || p == end) return false;
  ++p;
  const bool negative = *p == '-';
  int exponent = 0;
  for (++p; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  return (negative ? -exponent : exponent) == d.exponent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  uint64_t bits;
  memcpy(&bits, data, sizeof bits);
  bits &= ~(uint64_t{1} << 63);                               // magnitudes
  if (((bits >> 52) & 0x7ff) == 0x7ff) return 0;              // finite only
  const int precision = (data[8] | data[9] << 8) % 1024 - 4;  // out-of-range values are clamped
  double value;
  memcpy(&value, &bits, sizeof value);

  char expected[1024];
  DecimalDigits d;

  ShortestDigits(value, &d);
  std::to_chars_result r = std::to_chars(expected, expected + sizeof expected, value, std::chars_format::scientific);
  if (r.ec != std::errc() || !SameAsScientific(d, expected, r.ptr)) abort();

  int count = precision < 1 ? 1 : precision > kFloatDigitsMax ? kFloatDigitsMax : precision;
  SignificantDigits(value, precision, &d);
  r = std::to_chars(expected, expected + sizeof expected, value, std::chars_format::scientific, count - 1);
  if (r.ec != std::errc() || !SameAsScientific(d, expected, r.ptr)) abort();

  const int decimals = precision < 0 ? 0 : precision > kFixedDecimalsMax ? kFixedDecimalsMax : precision;
  char ours[kFixedTextMax];
  const int length = FixedDigits(value, precision, ours);
  r = std::to_chars(expected, expected + sizeof expected, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc() || r.ptr - expected != length || memcmp(ours, expected, static_cast<size_t>(length)) != 0)
    abort();
  return 0;
}
