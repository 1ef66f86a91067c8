#include "engine/scancode_map.h"

#include <cstdlib>

namespace {

// Scan-code map value, every field a little-endian u32 read and written byte-wise (a registry
// value promises no alignment):
//   +0                  version, 0
//   +4                  flags, 0
//   +8                  entry count n: substitutions + 1 (the end counts)
//   +12                 n - 1 substitutions: low 16 bits = scan code sent (0 = nothing),
//                       high 16 bits = the key's own scan code
//   +12 + 4 * (n - 1)   0, the end
constexpr uint32_t kVersionOffset = 0;
constexpr uint32_t kFlagsOffset = 4;
constexpr uint32_t kCountOffset = 8;
constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 4;
constexpr uint32_t kMinMapSize = kHeaderSize + kEntrySize;
static_assert(kCountOffset + kEntrySize == kHeaderSize, "the substitutions follow the count");
static_assert(kMinMapSize == 16, "a map without substitutions is 16 bytes");
static_assert(sizeof(uint32_t) == kEntrySize, "entries are kept as 32-bit words");

// Most entries one value can hold, the end included: 12 + 4 * entries stays within 32 bits.
constexpr uint32_t kMaxEntries = (UINT32_MAX - kHeaderSize) / kEntrySize;

constexpr uint16_t kSwitchedOff = 255;

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint16_t KeyOf(uint32_t entry) { return static_cast<uint16_t>(entry >> 16); }
uint16_t SentOf(uint32_t entry) { return static_cast<uint16_t>(entry); }

enum class EntryKind { kNone, kOurs, kForeign };

// Key 0 is no key at all. A key that sends 255 stays foreign: hardwareCode 255 means "switched
// off", and taking it would turn the key from sending 255 into sending nothing on the next write.
EntryKind KindOf(KeyEntry* table, int32_t count, uint32_t entry) {
  if (KeyOf(entry) == 0) return EntryKind::kNone;
  if (SentOf(entry) == kSwitchedOff || !FindKey(table, count, KeyOf(entry))) return EntryKind::kForeign;
  return EntryKind::kOurs;
}

}  // namespace

void FreeScancodeMapExtras(ScancodeMapExtras* extras) {
  if (!extras) return;
  free(extras->entries);
  *extras = ScancodeMapExtras();
}

bool DecodeScancodeMap(const uint8_t* value, uint32_t size, KeyEntry* table, int32_t count,
                       ScancodeMapExtras* foreign) {
  FreeScancodeMapExtras(foreign);
  if (!value || !table || count <= 0 || size < kMinMapSize) return false;
  const uint32_t n = ReadU32(value + kCountOffset);
  // size >= 4 * n + 12, as a division: a count near 2^32 would wrap the product.
  if (n <= 1 || n > (size - kHeaderSize) / kEntrySize) return false;
  const uint8_t* entries = value + kHeaderSize;
  const uint32_t substitutions = n - 1;

  // Another program's entries are kept only from a map in the one known form; from anything
  // else, writing them back under a zero header could switch on what the system ignored.
  const bool keep = foreign && ReadU32(value + kVersionOffset) == 0 && ReadU32(value + kFlagsOffset) == 0;
  if (keep) {
    uint32_t kept = 0;
    for (uint32_t k = 0; k < substitutions; ++k) {
      if (KindOf(table, count, ReadU32(entries + static_cast<size_t>(k) * kEntrySize)) == EntryKind::kForeign) ++kept;
    }
    if (kept) {
      // kept * 4 <= size, so the byte count fits size_t.
      foreign->entries = static_cast<uint32_t*>(malloc(static_cast<size_t>(kept) * kEntrySize));
      if (!foreign->entries) foreign->incomplete = true;
    }
  }

  for (uint32_t k = 0; k < substitutions; ++k) {
    const uint32_t entry = ReadU32(entries + static_cast<size_t>(k) * kEntrySize);
    switch (KindOf(table, count, entry)) {
      case EntryKind::kNone:
        break;
      case EntryKind::kForeign:
        if (keep && foreign->entries) foreign->entries[foreign->count++] = entry;
        break;
      case EntryKind::kOurs:
        FindKey(table, count, KeyOf(entry))->hardwareCode = SentOf(entry) ? SentOf(entry) : kSwitchedOff;
        break;
    }
  }
  NormaliseKeys(table, count);
  return true;
}

MapEncoding EncodeScancodeMap(const KeyEntry* table, int32_t count, bool mapRead,
                              const ScancodeMapExtras& foreign, uint8_t** value, uint32_t* size) {
  if (value) *value = nullptr;
  if (size) *size = 0;
  if (!value || !size || !table || count <= 0 || foreign.incomplete) return MapEncoding::kFailed;
  if (foreign.count && !foreign.entries) return MapEncoding::kFailed;

  uint32_t ours = 0;
  for (int32_t i = 0; i < count && table[i].scanCode != 0; ++i) {
    if (table[i].hardwareCode != 0) ++ours;
  }
  if (ours == 0 && foreign.count == 0 && !mapRead) return MapEncoding::kNothingToWrite;
  // Every entry and the end must fit, checked before any product is formed.
  if (ours > kMaxEntries - 1 || foreign.count > kMaxEntries - 1 - ours) return MapEncoding::kFailed;
  const uint32_t capacity = ours + foreign.count + 1;
  uint8_t* out = static_cast<uint8_t*>(malloc(kHeaderSize + static_cast<size_t>(capacity) * kEntrySize));
  if (!out) return MapEncoding::kFailed;

  uint32_t written = 0;
  uint8_t* next = out + kHeaderSize;
  for (int32_t i = 0; i < count && table[i].scanCode != 0; ++i) {
    const KeyEntry& key = table[i];
    if (key.hardwareCode == 0) continue;
    const uint16_t sent = key.hardwareCode == kSwitchedOff ? 0 : key.hardwareCode;
    WriteU32(next, static_cast<uint32_t>(key.scanCode) << 16 | sent);
    next += kEntrySize;
    ++written;
  }
  for (uint32_t k = 0; k < foreign.count; ++k) {
    // A key that the table now substitutes itself takes the user's choice, not the old one.
    const KeyEntry* key = FindKeyIn(table, count, KeyOf(foreign.entries[k]));
    if (key && key->hardwareCode != 0) continue;
    WriteU32(next, foreign.entries[k]);
    next += kEntrySize;
    ++written;
  }
  WriteU32(next, 0);
  WriteU32(out + kVersionOffset, 0);
  WriteU32(out + kFlagsOffset, 0);
  WriteU32(out + kCountOffset, written + 1);
  *value = out;
  *size = kHeaderSize + (written + 1) * kEntrySize;
  return MapEncoding::kValue;
}
