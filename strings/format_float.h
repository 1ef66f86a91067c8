#pragma once
#include <cstdint>
#include "strings/format_flags.h"

// Longest text a floating or size conversion can produce (before width fill).
constexpr int kFloatTextMax = 1100;

// Text of one floating or size conversion before the width fill is applied.
struct FloatText {
  char text[kFloatTextMax];  // UTF-8, not terminated
  int length;
  int zeroAt;  // index where "0"-flag fill zeros are inserted
};

// letter is one of f e E g G a A F; flags are FormatFlag bits; precision as parsed
// (0 when absent; may be negative or huge).
void FormatFloat(char letter, unsigned flags, int precision, double value, FloatText* out);

// The binary-scaled sizes I (isSigned) and U: the caller has already split the value
// into its magnitude and sign (negative is false for U).
void FormatScaledSize(bool isSigned, unsigned flags, int precision, uint64_t magnitude,
                      bool negative, FloatText* out);
