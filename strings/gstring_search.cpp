// GString's searches and comparisons: the other operand is first brought to the string's
// width, then the plain range functions do the work.
#include "strings/gstring.h"
#include "strings/measure.h"
#include "strings/search.h"
#include "strings/upper_case.h"
#include "strings/utf8.h"

int GString::Find(const WChar* pattern, int from, int n) const {
  if (!pattern || m_length == 0 || from < 0 || from >= m_length) return -1;
  if (n < 0) n = MeasureWide(pattern);
  const void* own;
  int length;
  if (!ToOwnWidth(pattern, n, true, &own, &length)) return -1;
  if (IsWide()) return FindUnits(WideAt(0), static_cast<const WChar*>(own), m_length, length, from);
  return FindBytes(TextBytes(), static_cast<const unsigned char*>(own), m_length, length, from);
}

int GString::Find(const char* pattern, int from, int n) const {
  if (!pattern || m_length == 0 || from < 0 || from >= m_length) return -1;
  if (n < 0) n = MeasureNarrow(pattern);
  const void* own;
  int length;
  if (!ToOwnWidth(pattern, n, false, &own, &length)) return -1;
  if (IsWide()) return FindUnits(WideAt(0), static_cast<const WChar*>(own), m_length, length, from);
  return FindBytes(TextBytes(), static_cast<const unsigned char*>(own), m_length, length, from);
}

int GString::Find(const GString& pattern, int from) const {
  if (pattern.IsWide()) return Find(pattern.WideAt(0), from, pattern.Length());
  return Find(pattern.NarrowAt(0), from, pattern.Length());
}

int GString::FindLastChar(WChar ch, int lowBound) const {
  if (m_length == 0) return -1;
  if (IsWide()) return FindUnitReverse(WideAt(0), ch, m_length, lowBound);
  if (static_cast<uint16_t>(ch) < 128) return FindByteReverse(TextBytes(), ch, m_length, lowBound);
  unsigned char encoded[3];
  const int size = Utf8Encode(&ch, 1, reinterpret_cast<char*>(encoded));
  return FindBytesReverse(TextBytes(), encoded, m_length, size, lowBound);
}

int GString::Compare(const WChar* text, int n) const {
  if (n < 0 || !text) n = MeasureWide(text);
  if (m_length == 0) return n == 0 ? 0 : -1;
  if (n == 0) return 1;
  const void* own;
  int length;
  // A text that cannot be converted is not equal to anything this string holds.
  if (!ToOwnWidth(text, n, true, &own, &length)) return 1;
  if (IsWide()) return CompareUnits(WideAt(0), static_cast<const WChar*>(own), m_length, length);
  return CompareBytes(TextBytes(), static_cast<const unsigned char*>(own), m_length, length);
}

int GString::Compare(const char* text, int n) const {
  if (n < 0 || !text) n = MeasureNarrow(text);
  if (m_length == 0) return n == 0 ? 0 : -1;
  if (n == 0) return 1;
  const void* own;
  int length;
  if (!ToOwnWidth(text, n, false, &own, &length)) return 1;
  if (IsWide()) return CompareUnits(WideAt(0), static_cast<const WChar*>(own), m_length, length);
  return CompareBytes(TextBytes(), static_cast<const unsigned char*>(own), m_length, length);
}

int Equals(const GString& a, const GString& b) {
  const int order = b.IsWide() ? a.Compare(b.WideAt(0), b.Length()) : a.Compare(b.NarrowAt(0), b.Length());
  return order == 0 ? 1 : 0;
}

int NotEquals(const GString& a, const GString& b) { return Equals(a, b) ? 0 : 1; }

int GString::ToUpper() {
  if (m_length == 0) return 1;
  if (IsWide()) {
    WChar* text = reinterpret_cast<WChar*>(TextBytes());
    for (int i = 0; i < m_length; ++i) text[i] = UpperCaseOf(text[i]);
    return 1;
  }
  // Upper case can change a character's UTF-8 length, so narrow text is mapped as units and
  // encoded again.
  GString* work = Temp();
  if (!work || !work->AssignUtf8AsWide(reinterpret_cast<const char*>(TextBytes()), m_length, m_codePage) ||
      !work->ToUpper() || !work->AsNarrow(-1))
    return 0;
  TakeText(*work);
  return 1;
}
