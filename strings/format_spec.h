// Parsing of one conversion: "%" [flags] [width] ["." precision] [modifier] letter.
#pragma once

#include "strings/format_flags.h"
#include "strings/unit16.h"

enum FormatSize {
  kSizeDefault,  // no modifier, or "l" (accepted, no effect)
  kSize64,       // "L" or "ll": 64-bit integer argument
  kSizeNarrow,   // "h": narrow variant
};

struct ConversionSpec {
  unsigned flags = 0;             // FormatFlag bits
  bool widthFromArg = false;      // "*": a 32-bit int argument
  int width = 0;                  // digits as written (at most 10 read, capped at INT_MAX)
  bool precisionFromArg = false;  // ".*": a 32-bit int argument, taken with its sign
  int precision = 0;              // 0 when absent or "." alone
  FormatSize size = kSizeDefault;
  WChar letter = 0;               // 0: the format ended inside the conversion
};

// Parses the conversion that starts just after a "%". Returns the position after its
// letter, or the terminating zero when the format ends first.
const WChar* ParseConversion(const WChar* p, ConversionSpec* conv);
