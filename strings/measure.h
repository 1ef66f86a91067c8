// Lengths of zero-terminated texts, in units, capped at INT_MAX; a null text measures 0.
#pragma once

#include <climits>
#include <cstring>

#include "strings/unit16.h"

inline int MeasureNarrow(const char* p) {
  const size_t n = p ? strlen(p) : 0;
  return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

inline int MeasureWide(const WChar* p) {
  int n = 0;
  if (p) {
    while (n < INT_MAX && p[n] != 0) ++n;
  }
  return n;
}
