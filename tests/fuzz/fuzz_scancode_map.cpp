// Arbitrary registry values through the scan-code map decoder and the key pair merge, on exactly
// sized copies of the value and of the key table, with their re-encodings read back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/key_table.h"
#include "engine/scancode_map.h"

namespace {

uint8_t* ExactCopy(const uint8_t* data, size_t size) {
  uint8_t* copy = static_cast<uint8_t*>(malloc(size ? size : 1));
  if (copy && size) memcpy(copy, data, size);
  return copy;
}

// The first `count` entries of the installer's copy, in a buffer of exactly that size.
KeyEntry* TableOf(int32_t count) {
  KeyEntry* full = NewKeyTableCopy();
  KeyEntry* table = static_cast<KeyEntry*>(malloc(sizeof(KeyEntry) * count));
  if (!full || !table) abort();
  memcpy(table, full, sizeof(KeyEntry) * count);
  free(full);
  return table;
}

// Only the fields that the operation may change differ from the built-in entries.
void CheckFixedFields(const KeyEntry* table, int32_t count, bool virtualKeysFixed) {
  for (int32_t i = 0; i < count; ++i) {
    if (table[i].scanCode != kDefaultKeys[i].scanCode || table[i].captionText != kDefaultKeys[i].captionText) abort();
    if (virtualKeysFixed && table[i].virtualKey != 0) abort();
  }
}

void CheckScancodeMap(const uint8_t* data, size_t size, int32_t count) {
  uint8_t* value = ExactCopy(data, size);
  KeyEntry* table = TableOf(count);
  ScancodeMapExtras foreign;
  const bool taken = DecodeScancodeMap(value, static_cast<uint32_t>(size), table, count, &foreign);
  free(value);
  CheckFixedFields(table, count, true);
  if (foreign.incomplete || (!taken && foreign.count)) abort();
  for (uint32_t k = 0; k < foreign.count; ++k) {
    const uint32_t entry = foreign.entries[k];
    if ((entry >> 16) == 0 || (FindKey(table, count, entry >> 16) && (entry & 0xFFFF) != 255)) abort();
  }

  // A map was read, so there is always a value to write; reading it back gives the same table,
  // and writing that again gives the same bytes.
  uint8_t* first = nullptr;
  uint32_t firstSize = 0;
  if (EncodeScancodeMap(table, count, true, foreign, &first, &firstSize) != MapEncoding::kValue) abort();
  if (firstSize < 16 || firstSize % 4 != 0 || (!taken && firstSize != 16)) abort();
  KeyEntry* again = TableOf(count);
  ScancodeMapExtras againForeign;
  if (DecodeScancodeMap(first, firstSize, again, count, &againForeign) != (firstSize > 16)) abort();
  for (int32_t i = 0; i < count; ++i) {
    if (again[i].hardwareCode != table[i].hardwareCode) abort();
  }
  uint8_t* second = nullptr;
  uint32_t secondSize = 0;
  if (EncodeScancodeMap(again, count, true, againForeign, &second, &secondSize) != MapEncoding::kValue) abort();
  if (secondSize != firstSize || memcmp(first, second, firstSize) != 0) abort();

  free(second);
  FreeScancodeMapExtras(&againForeign);
  free(again);
  free(first);
  FreeScancodeMapExtras(&foreign);
  free(table);
}

// The same bytes as key pairs: the merge frees them; its export merges into an equal table.
void CheckKeyPairs(const uint8_t* data, size_t size, int32_t count) {
  KeyEntry* table = TableOf(count);
  const bool merged = MergeKeyPairs(table, count, ExactCopy(data, size), static_cast<uint32_t>(size));
  if (merged != (size != 0)) abort();
  CheckFixedFields(table, count, false);
  uint32_t pairsSize = 0;
  uint8_t* pairs = ExportKeyPairs(table, count, &pairsSize);
  if (!pairs || pairsSize % 4 != 0) abort();
  KeyEntry* again = TableOf(count);
  if (pairsSize) {
    if (!MergeKeyPairs(again, count, pairs, pairsSize)) abort();
  } else {
    free(pairs);
  }
  for (int32_t i = 0; i < count; ++i) {
    if (again[i].virtualKey != table[i].virtualKey) abort();
  }
  free(again);
  free(table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  // Tables cut short as well as whole, so that no walk passes the count it is given.
  const int32_t count = size ? 1 + data[size - 1] % kKeyTableCount : kKeyTableCount;
  CheckScancodeMap(data, size, count);
  CheckScancodeMap(data, size, kKeyTableCount);
  CheckKeyPairs(data, size, count);
  return 0;
}
