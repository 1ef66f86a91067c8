// Exact decimal digits of a double, from its own binary value: the shortest digits that read
// back as the same double, a number of significant digits, or a number of decimals, each
// correctly rounded (to nearest, ties to even) as std::to_chars rounds them.
//
// The digits come from plain big-integer arithmetic on the value's bits (at most 1,280-bit
// numbers multiplied and divided by one word): no tables of powers of ten, so the code is small;
// one conversion costs at most a few thousand word operations.
#pragma once

// Most significant digits SignificantDigits gives (the formatter's "e" with precision 308).
constexpr int kFloatDigitsMax = 309;
// Most decimals FixedDigits gives, and the longest text it writes: DBL_MAX has 309 integer
// digits, then the point and the decimals.
constexpr int kFixedDecimalsMax = 308;
constexpr int kFixedTextMax = 309 + 1 + kFixedDecimalsMax;

struct DecimalDigits {
  char digit[kFloatDigitsMax];  // '0' to '9', count of them
  int count;
  int exponent;  // the value is digit[0].digit[1]digit[2]... x 10^exponent; 0 for zero
};

// Every function takes the magnitude of a finite double (the sign is ignored); NaN and the
// infinities give zero's digits.

// count significant digits (clamped to 1..kFloatDigitsMax); zero gives count zeros.
void SignificantDigits(double magnitude, int count, DecimalDigits* out);

// The fewest significant digits that read back (to nearest, ties to even) as this double;
// among several such, the one nearest to the exact value, ties to even. Zero gives "0". At most
// 17 digits.
void ShortestDigits(double magnitude, DecimalDigits* out);

// The value rounded to `decimals` places (clamped to 0..kFixedDecimalsMax) as text: the integer
// digits (at least one, no leading zeros), then, when decimals > 0, "." and exactly that many
// decimals. Writes at most kFixedTextMax characters to out, no terminator; returns the count.
int FixedDigits(double magnitude, int decimals, char* out);
