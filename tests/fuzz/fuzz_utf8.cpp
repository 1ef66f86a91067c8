// UTF-8 decoding and the width conversions of GString.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "strings/gstring.h"
#include "strings/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const int n = static_cast<int>(size);
  // An exactly sized copy, so that any read past the end is caught.
  char* bytes = static_cast<char*>(malloc(size ? size : 1));
  memcpy(bytes, data, size);

  const int count = Utf8Count(bytes, n);
  std::vector<WChar> units(static_cast<size_t>(count) + 1);
  const int decoded = Utf8Decode(bytes, n, units.data(), count);
  if (decoded >= 0 && decoded != count) abort();
  for (int k = 1; k <= count + 1; ++k) {
    const char* after = Utf8Skip(bytes, n, k);
    if (after && (after <= bytes || after >= bytes + n)) abort();
  }
  if (Utf8Skip(bytes, n, -1) != nullptr || Utf8Skip(bytes, n, 0) != bytes) abort();

  // Decoding into a wide string either succeeds with every sequence or changes nothing.
  GString wide;
  wide.AssignWide(reinterpret_cast<const WChar*>(u"keep"), 4);
  const int ok = wide.AppendNarrow(bytes, n, 0);
  if (ok != (decoded >= 0)) abort();
  if (!ok && wide.Length() != 4) abort();

  // Every 16-bit text survives the trip to UTF-8 and back unit for unit.
  const int unitCount = n / 2;
  WChar* text = static_cast<WChar*>(malloc(sizeof(WChar) * (unitCount ? unitCount : 1)));
  memcpy(text, data, sizeof(WChar) * unitCount);
  GString trip;
  trip.AssignWide(text, unitCount);
  if (!trip.AsNarrow(0) || !trip.AsWide(0)) abort();
  if (trip.Length() != unitCount || memcmp(trip.WideAt(0), text, sizeof(WChar) * unitCount) != 0) abort();

  GString narrow;
  narrow.AssignNarrow(bytes, n, 0);
  narrow.ToUpper();
  narrow.DebugDump(n % 300);

  free(text);
  free(bytes);
  return 0;
}
