// The table of remappable keys: the built-in reference table and the operations on the
// installer's own copy of it (the installer holds the copy as m_keyTable / m_keyCount and
// wraps these functions as its members).
//
// A copy reassigns a key by a non-zero virtualKey and substitutes it at the hardware level by a
// non-zero hardwareCode (255: switched off). Entries are reached by scan code; walks end at the
// first scanCode 0 (the end mark) and never pass the count they are given.
#pragma once

#include <cstdint>

// One key, 8 bytes, the form that the key pairs, the expert pages and the layout images rely on.
struct KeyEntry {
  uint16_t scanCode;      // 0x01-0x7E, 0xFF, 0xE0nn or 0xE1nn; 0 ends the table
  uint16_t virtualKey;    // built-in: the default key code (flags in the high byte); copy: 0 = kept
  uint16_t captionText;   // text identifier of the key's caption
  uint16_t hardwareCode;  // built-in: 0; copy: scan code sent instead, 0 = none, 255 = off
};
static_assert(sizeof(KeyEntry) == 8, "key entries are 8-byte records");

constexpr int kKeyTableCount = 146;  // 144 keys, the end mark, an all-zero entry
constexpr int kKeyEndMarkIndex = 144;

// The built-in table; never changed, the reference for the defaults.
extern const KeyEntry kDefaultKeys[kKeyTableCount];

// A malloc'd copy of the 146 built-in entries with every virtualKey 0, or null. Free with free().
KeyEntry* NewKeyTableCopy();

// The first of the first `count` entries before the end mark whose scanCode equals the low 16
// bits of code; null when none, for a null table or count <= 0 (a code whose low 16 bits are 0
// is never found).
const KeyEntry* FindKeyIn(const KeyEntry* table, int32_t count, uint32_t code);

// The same walk over the built-in table.
const KeyEntry* FindDefaultKey(uint32_t code);

// The same walk over a copy, giving an entry that the caller may change.
KeyEntry* FindKey(KeyEntry* table, int32_t count, uint32_t code);

// Clears what equals the default of the same position: a virtualKey equal to the built-in
// entry's virtualKey and a hardwareCode equal to the built-in entry's own scanCode become 0.
// Only the positions that the built-in table has are compared. False for a null table or
// count <= 0.
bool NormaliseKeys(KeyEntry* table, int32_t count);

// Applies key pairs (size / 4 records: u16 scan code, u16 key code, little-endian, no alignment
// promise) to a copy and normalises it. Pairs with key code 0, scan code 0 or an unknown scan
// code change nothing. False for a null buffer, size 0, a null table or count <= 0. The buffer
// is freed with free() in every case.
bool MergeKeyPairs(KeyEntry* table, int32_t count, uint8_t* buffer, uint32_t size);

// Normalises a copy, then returns the key pairs of its reassigned keys before the end mark in
// table order (a malloc'd buffer that the caller frees with free(), *size = its byte count; no
// reassignment gives a valid buffer and size 0). Null and *size 0 for a null table, count <= 0
// or a byte count beyond 32 bits; null for a null size.
uint8_t* ExportKeyPairs(KeyEntry* table, int32_t count, uint32_t* size);
