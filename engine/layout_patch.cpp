#include "engine/layout_patch.h"

#include <cstdlib>
#include <cstring>

#include "app/text_ids.h"
#include "strings/gstring.h"
#include "strings/search.h"

namespace {

constexpr uint32_t kVirtualKeyBytes = 2;
constexpr uint32_t kMainTableBytes = kMainTableEntries * kVirtualKeyBytes;
constexpr uint32_t kListRecordBytes = 4;
constexpr uint32_t kDecimalCharsBytes = 4;
constexpr uint8_t kComma = 44;
constexpr uint32_t kLargestImage = 0x7FFFFFFF;  // FindBytes measures in int

constexpr uint16_t kLastMainScanCode = 0x007E;
constexpr uint16_t kE0Prefix = 0xE000;
constexpr uint16_t kE1Prefix = 0xE100;

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when `length` bytes from `offset` lie inside the image.
bool Fits(uint32_t size, uint32_t offset, uint32_t length) { return offset <= size && size - offset >= length; }

void PutVirtualKey(uint8_t* at, uint16_t virtualKey) {
  at[0] = static_cast<uint8_t>(virtualKey);
  at[1] = static_cast<uint8_t>(virtualKey >> 8);
}

// Offset of the pattern's first occurrence, or -1 for a missing or empty pattern or no match.
int32_t Locate(const uint8_t* image, uint32_t size, const uint8_t* pattern, int32_t patternSize) {
  if (!pattern || patternSize <= 0) return -1;
  return FindBytes(image, pattern, static_cast<int>(size), patternSize, 0);
}

// The E0 and E1 lists, from the found offset, records of 4 bytes:
//   +0  u8      scan code without its prefix; 0 = end record (the list's last)
//   +1  u8      padding
//   +2  u16 LE  virtual key
// Records before the end record, or -1 when the list or its end record reaches past the image.
int32_t CountListRecords(const uint8_t* image, uint32_t size, uint32_t offset) {
  int32_t records = 0;
  for (uint32_t at = offset; Fits(size, at, kListRecordBytes); at += kListRecordBytes, ++records) {
    if (image[at] == 0) return records;
  }
  return -1;
}

// Where the patch writes, every table found on the image as it came: the keys written into the
// scan-code table could otherwise put a copy of a later pattern in front of its real table, and
// the later pass would then write there.
struct Targets {
  int32_t table = -1;
  int32_t e0 = -1, e0Records = 0;
  int32_t e1 = -1, e1Records = 0;
  int32_t decimal = -1;
};

bool LocateList(const uint8_t* image, uint32_t size, const uint8_t* pattern, int32_t patternSize, int32_t* offset,
                int32_t* records) {
  *offset = Locate(image, size, pattern, patternSize);
  if (*offset < 0) return false;
  *records = CountListRecords(image, size, static_cast<uint32_t>(*offset));
  return *records >= 0;
}

// The table of virtual keys by scan code, from the found offset:
//   +2n  u16 LE  virtual key of scan code n, n = 0..126
bool LocateTargets(const uint8_t* image, uint32_t size, const LayoutPatterns& patterns, bool keys, bool comma,
                   Targets* targets) {
  if (keys) {
    targets->table = Locate(image, size, patterns.mainTable, patterns.mainTableSize);
    if (targets->table < 0 || !Fits(size, static_cast<uint32_t>(targets->table), kMainTableBytes)) return false;
    if (!LocateList(image, size, patterns.e0List, patterns.e0ListSize, &targets->e0, &targets->e0Records)) return false;
    if (!LocateList(image, size, patterns.e1List, patterns.e1ListSize, &targets->e1, &targets->e1Records)) return false;
  }
  // The decimal key's characters, from the found offset:
  //   +0  u16 LE  first character    +2  u16 LE  second character
  if (comma) {
    targets->decimal = Locate(image, size, patterns.decimalKey, patterns.decimalKeySize);
    if (targets->decimal < 0 || !Fits(size, static_cast<uint32_t>(targets->decimal), kDecimalCharsBytes)) return false;
  }
  return true;
}

// One prefix list's pass: each reassigned key with that prefix goes to the first record of its
// scan code; the end record coming first writes nothing.
void PatchList(uint8_t* image, int32_t offset, int32_t records, uint16_t prefix, const KeyEntry* keys,
               int32_t keyCount) {
  for (int32_t i = 0; i < keyCount; ++i) {
    const KeyEntry& key = keys[i];
    if ((key.scanCode & 0xFF00) != prefix || key.virtualKey == 0) continue;
    const uint8_t scanCode = static_cast<uint8_t>(key.scanCode);
    for (int32_t r = 0; r < records; ++r) {
      uint8_t* record = image + offset + r * kListRecordBytes;
      if (record[0] == scanCode) {
        PutVirtualKey(record + 2, key.virtualKey);
        break;
      }
    }
  }
}

// Later entries of the key table overwrite earlier ones.
void PatchKeys(uint8_t* image, const Targets& targets, const KeyEntry* keys, int32_t keyCount) {
  for (int32_t i = 0; i < keyCount; ++i) {
    const KeyEntry& key = keys[i];
    if (key.scanCode > kLastMainScanCode || key.virtualKey == 0) continue;
    PutVirtualKey(image + targets.table + key.scanCode * kVirtualKeyBytes, key.virtualKey);
  }
  PatchList(image, targets.e0, targets.e0Records, kE0Prefix, keys, keyCount);
  PatchList(image, targets.e1, targets.e1Records, kE1Prefix, keys, keyCount);
}

// Only the low bytes change: the comma lies in the first 256 characters.
void PatchDecimalKey(uint8_t* image, const Targets& targets) {
  image[targets.decimal] = kComma;
  image[targets.decimal + 2] = kComma;
}

}  // namespace

uint32_t MainTablePatternText(int32_t variant) {
  switch (variant) {
    case 0: return kTextMainTablePattern0;
    case 1: return kTextMainTablePattern1;
    case 2: return kTextMainTablePattern2;
    default: return 0;
  }
}

uint8_t* HexTextToBytes(GString& text, int32_t* count) {
  if (!count) return nullptr;
  *count = 0;
  if (text.IsEmpty()) return nullptr;
  const char* digits = text.AsNarrow(0);
  if (!digits) return nullptr;
  const int32_t pairs = text.Length() / 2;
  *count = pairs;
  uint8_t* bytes = static_cast<uint8_t*>(malloc(pairs > 0 ? pairs : 1));
  if (!bytes) return nullptr;
  for (int32_t i = 0; i < pairs; ++i) {
    const int high = DigitValue(digits[2 * i]);
    const int low = DigitValue(digits[2 * i + 1]);
    if (high < 0 || low < 0) {
      free(bytes);
      return nullptr;
    }
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return bytes;
}

bool PatchLayoutImage(uint8_t* image, uint32_t size, const LayoutPatterns& patterns, const KeyEntry* keys,
                      int32_t keyCount, int32_t decimalKey) {
  if (!image || size > kLargestImage) return false;
  const bool patchKeys = keys && keyCount > 0;
  const bool comma = decimalKey == 0;
  if (!patchKeys && !comma) return true;

  // Every table is found before the first byte changes: a failure leaves the image as it was.
  Targets targets;
  if (!LocateTargets(image, size, patterns, patchKeys, comma, &targets)) return false;
  if (patchKeys) PatchKeys(image, targets, keys, keyCount);
  if (comma) PatchDecimalKey(image, targets);
  return true;
}
