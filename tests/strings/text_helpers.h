// Test helpers: GString contents as UTF-8 std::string, so failures print readable text.
#pragma once

#include <string>

#include "strings/gstring.h"
#include "strings/utf8.h"

inline std::string Utf8Of(const WChar* p, int n) {
  std::string out(static_cast<size_t>(Utf8Size(p, n)), '\0');
  Utf8Encode(p, n, &out[0]);
  return out;
}

inline std::string Utf8Of(const GString& s) {
  if (s.IsWide()) return Utf8Of(s.WideAt(0), s.Length());
  return std::string(s.NarrowAt(0), static_cast<size_t>(s.Length()));
}

// Raw bytes of a narrow string, or little-endian bytes of a wide one, as hex ("C3 A9").
inline std::string HexOf(const char* p, int n) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i) out += ' ';
    out += kHex[static_cast<unsigned char>(p[i]) >> 4];
    out += kHex[static_cast<unsigned char>(p[i]) & 15];
  }
  return out;
}
