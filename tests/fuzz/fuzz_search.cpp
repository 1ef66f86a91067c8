// The range searches and comparisons against plain reference loops, on exactly sized copies.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "strings/gstring.h"
#include "strings/search.h"
#include "strings/upper_case.h"

namespace {

template <typename T>
T* ExactCopy(const uint8_t* data, int count) {
  T* copy = static_cast<T*>(malloc(sizeof(T) * (count > 0 ? count : 1)));
  memcpy(copy, data, sizeof(T) * (count > 0 ? count : 0));
  return copy;
}

template <typename T>
int ReferenceFind(const T* d, const T* p, int dn, int pn, int from) {
  if (dn <= 0 || pn <= 0 || from < 0) return -1;
  for (int i = from; i + pn <= dn; ++i)
    if (memcmp(d + i, p, sizeof(T) * pn) == 0) return i;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 1 << 14) return 0;
  // Header: pattern length, a start offset (may be negative), then haystack and pattern.
  const int patLen = data[0] % 16;
  const int from = static_cast<int8_t>(data[1]);
  const int rest = static_cast<int>(size) - 2;
  const int dataLen = rest > patLen ? rest - patLen : 0;
  const int usedPat = rest - dataLen;
  unsigned char* hay = ExactCopy<unsigned char>(data + 2, dataLen);
  unsigned char* pat = ExactCopy<unsigned char>(data + 2 + dataLen, usedPat);

  if (FindBytes(hay, pat, dataLen, usedPat, from) != ReferenceFind(hay, pat, dataLen, usedPat, from)) abort();
  const int last = FindBytesReverse(hay, pat, dataLen, usedPat, from);
  if (last >= 0 && (last < from || memcmp(hay + last, pat, usedPat) != 0)) abort();
  if (last >= 0 && ReferenceFind(hay, pat, dataLen, usedPat, last + 1) != -1) abort();
  const int byteAt = FindByteReverse(hay, data[0], dataLen, from);
  if (byteAt >= 0 && hay[byteAt] != data[0]) abort();
  const int order = CompareBytes(hay, pat, dataLen, usedPat);
  if (order != -CompareBytes(pat, hay, usedPat, dataLen)) abort();

  WChar* units = ExactCopy<WChar>(data + 2, dataLen / 2);
  WChar* unitPat = ExactCopy<WChar>(data + 2 + dataLen - (dataLen / 2 < 3 ? 0 : 4), dataLen / 2 < 3 ? 0 : 2);
  const int unitPatLen = dataLen / 2 < 3 ? 0 : 2;
  if (FindUnits(units, unitPat, dataLen / 2, unitPatLen, from) !=
      ReferenceFind(units, unitPat, dataLen / 2, unitPatLen, from))
    abort();
  const int unitAt = FindUnitReverse(units, static_cast<WChar>(data[0]), dataLen / 2, from);
  if (unitAt >= 0 && units[unitAt] != data[0]) abort();
  CompareUnits(units, unitPat, dataLen / 2, unitPatLen);
  for (int i = 0; i < dataLen / 2; ++i) UpperCaseOf(units[i]);

  // The same through GString, with patterns of the other width.
  GString wide;
  wide.AssignWide(units, dataLen / 2);
  GString narrow;
  narrow.AssignNarrow(reinterpret_cast<const char*>(hay), dataLen, 0);
  wide.Find(reinterpret_cast<const char*>(pat), from, usedPat);
  narrow.Find(unitPat, from, unitPatLen);
  wide.FindLastChar(static_cast<WChar>(data[1] << 8 | data[0]), from);
  narrow.FindLastChar(static_cast<WChar>(data[1] << 8 | data[0]), from);
  Equals(wide, narrow);
  wide.Compare(reinterpret_cast<const char*>(pat), usedPat);
  wide.ToUpper();

  free(unitPat);
  free(units);
  free(pat);
  free(hay);
  return 0;
}
