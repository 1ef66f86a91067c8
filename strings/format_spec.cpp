#include "strings/format_spec.h"

#include <climits>
#include <cstdint>

namespace {

unsigned FlagOf(WChar c) {
  switch (c) {
    case '-': return kFlagLeft;
    case '0': return kFlagZero;
    case '+': return kFlagPlus;
    case ' ': return kFlagSpace;
    case '#': return kFlagAlt;
    case '$': return kFlagEscape;
    case '`': return kFlagGroup;
    default: return 0;
  }
}

// Reads at most 10 decimal digits; larger numbers are capped at INT_MAX.
const WChar* ReadNumber(const WChar* p, int* value) {
  int64_t v = 0;
  for (int i = 0; i < 10 && *p >= '0' && *p <= '9'; ++i, ++p) v = v * 10 + (*p - '0');
  *value = v > INT_MAX ? INT_MAX : static_cast<int>(v);
  return p;
}

}  // namespace

const WChar* ParseConversion(const WChar* p, ConversionSpec* conv) {
  *conv = ConversionSpec();
  for (unsigned flag; *p && (flag = FlagOf(*p)) != 0; ++p) conv->flags |= flag;

  if (*p == '*') {
    conv->widthFromArg = true;
    ++p;
  } else {
    p = ReadNumber(p, &conv->width);
  }

  if (*p == '.') {
    ++p;
    if (*p == '*') {
      conv->precisionFromArg = true;
      ++p;
    } else {
      p = ReadNumber(p, &conv->precision);
    }
  }

  // Only one modifier is recognised.
  if (*p == 'L') {
    conv->size = kSize64;
    ++p;
  } else if (*p == 'l') {
    ++p;
    if (*p == 'l') {
      conv->size = kSize64;
      ++p;
    }
  } else if (*p == 'h') {
    conv->size = kSizeNarrow;
    ++p;
  }

  conv->letter = *p;
  return *p ? p + 1 : p;
}
