#include "strings/number_text.h"

namespace {

int HexDigit(WChar c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(WChar c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool ReadHexNumber(const WChar* text, uint32_t* value) {
  if (text == nullptr || value == nullptr) return false;
  const WChar* p = text;
  while (IsSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // "0x" counts only before a digit: "0xg" reads as 0, stopping at the "x".
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  if (HexDigit(*p) < 0) return false;
  uint32_t magnitude = 0;
  bool overflow = false;
  for (int digit; (digit = HexDigit(*p)) >= 0; ++p) {
    if (magnitude > 0x0FFFFFFFu) overflow = true;
    magnitude = magnitude << 4 | static_cast<uint32_t>(digit);
  }
  if (overflow) {
    *value = 0xFFFFFFFFu;
  } else {
    *value = negative ? 0u - magnitude : magnitude;
  }
  return true;
}
