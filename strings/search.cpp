#include "strings/search.h"

#include <cstdint>

#include "strings/measure.h"

namespace {

// Element values as unsigned numbers, so bytes >= 0x80 and units >= 0x8000 order after small
// ones whatever the signedness of the element type.
inline unsigned ValueOf(unsigned char c) { return c; }
inline unsigned ValueOf(WChar c) { return static_cast<uint16_t>(c); }

// The length a measuring function works with: null is empty, a negative length is measured.
inline int MeasuredLength(const char* s, int len) {
  if (s == nullptr) return 0;
  return len < 0 ? MeasureNarrow(s) : len;
}

inline int MeasuredLength(const WChar* s, int len) {
  if (s == nullptr) return 0;
  return len < 0 ? MeasureWide(s) : len;
}

template <typename T>
bool MatchesAt(const T* data, const T* pattern, int patLen) {
  for (int i = 0; i < patLen; ++i) {
    if (data[i] != pattern[i]) return false;
  }
  return true;
}

// Last start at which the pattern fits, or -1 when the arguments leave no candidate at all.
// dataLen - patLen cannot overflow once both are known positive, unlike from + patLen.
template <typename T>
int LastCandidate(const T* data, const T* pattern, int dataLen, int patLen, int first) {
  if (data == nullptr || pattern == nullptr || dataLen <= 0 || patLen <= 0 || first < 0) return -1;
  const int last = dataLen - patLen;
  return first > last ? -1 : last;
}

template <typename T>
int FindForward(const T* data, const T* pattern, int dataLen, int patLen, int from) {
  const int last = LastCandidate(data, pattern, dataLen, patLen, from);
  if (last < 0) return -1;
  for (int start = from; start <= last; ++start) {
    if (MatchesAt(data + start, pattern, patLen)) return start;
  }
  return -1;
}

template <typename T>
int FindBackward(const T* data, const T* pattern, int dataLen, int patLen, int lowBound) {
  const int last = LastCandidate(data, pattern, dataLen, patLen, lowBound);
  if (last < 0) return -1;
  for (int start = last; start >= lowBound; --start) {
    if (MatchesAt(data + start, pattern, patLen)) return start;
  }
  return -1;
}

template <typename T>
int FindElementBackward(const T* data, T value, int dataLen, int lowBound) {
  if (data == nullptr || dataLen <= 0 || lowBound < 0 || lowBound >= dataLen) return -1;
  for (int i = dataLen - 1; i >= lowBound; --i) {
    if (data[i] == value) return i;
  }
  return -1;
}

template <typename T>
int CompareRanges(const T* a, const T* b, int lenA, int lenB) {
  const bool emptyA = a == nullptr || lenA <= 0;
  const bool emptyB = b == nullptr || lenB <= 0;
  if (emptyA || emptyB) return emptyA == emptyB ? 0 : (emptyA ? -1 : 1);
  if (lenA != lenB) return lenA < lenB ? -1 : 1;
  for (int i = 0; i < lenA; ++i) {
    const unsigned x = ValueOf(a[i]);
    const unsigned y = ValueOf(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

inline const unsigned char* Bytes(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

}  // namespace

int FindBytes(const unsigned char* data, const unsigned char* pattern, int dataLen, int patLen,
              int from) {
  return FindForward(data, pattern, dataLen, patLen, from);
}

int FindBytesReverse(const unsigned char* data, const unsigned char* pattern, int dataLen,
                     int patLen, int lowBound) {
  return FindBackward(data, pattern, dataLen, patLen, lowBound);
}

int FindByteReverse(const unsigned char* data, int byte, int dataLen, int lowBound) {
  return FindElementBackward(data, static_cast<unsigned char>(byte & 0xFF), dataLen, lowBound);
}

int CompareBytes(const unsigned char* a, const unsigned char* b, int lenA, int lenB) {
  return CompareRanges(a, b, lenA, lenB);
}

int FindBytesSz(const char* data, const char* pattern, int dataLen, int patLen, int from) {
  return FindBytes(Bytes(data), Bytes(pattern), MeasuredLength(data, dataLen),
                   MeasuredLength(pattern, patLen), from);
}

int FindBytesReverseSz(const char* data, const char* pattern, int dataLen, int patLen,
                       int lowBound) {
  return FindBytesReverse(Bytes(data), Bytes(pattern), MeasuredLength(data, dataLen),
                          MeasuredLength(pattern, patLen), lowBound);
}

int FindByteReverseSz(const char* data, int byte, int dataLen, int lowBound) {
  return FindByteReverse(Bytes(data), byte, MeasuredLength(data, dataLen), lowBound);
}

int CompareBytesSz(const char* a, const char* b, int lenA, int lenB) {
  return CompareBytes(Bytes(a), Bytes(b), MeasuredLength(a, lenA), MeasuredLength(b, lenB));
}

int FindUnits(const WChar* text, const WChar* pattern, int textLen, int patLen, int from) {
  return FindForward(text, pattern, MeasuredLength(text, textLen), MeasuredLength(pattern, patLen),
                     from);
}

int FindUnitReverse(const WChar* text, WChar unit, int textLen, int lowBound) {
  return FindElementBackward(text, unit, MeasuredLength(text, textLen), lowBound);
}

int CompareUnits(const WChar* a, const WChar* b, int lenA, int lenB) {
  return CompareRanges(a, b, MeasuredLength(a, lenA), MeasuredLength(b, lenB));
}
