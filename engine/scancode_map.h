// The system's scan-code map value in bytes, and its link with the installer's key table copy.
// The registry reads and writes around it belong to the Windows code; this unit only decodes and
// encodes, so that it builds and is tested on any host.
//
// The map belongs to the whole system: substitutions of keys that the key table does not hold
// come from other programs. The decoder hands them back as foreign entries and the encoder writes
// them after the installer's own, so that writing the map never drops another program's setting.
#pragma once

#include <cstdint>

#include "app/key_table.h"

// The 32-bit entries of a read map that the key table cannot hold, in map order (low 16 bits:
// the scan code sent, high 16 bits: the key's own scan code). Owned: release with
// FreeScancodeMapExtras.
struct ScancodeMapExtras {
  uint32_t* entries = nullptr;  // malloc'd; null when count is 0
  uint32_t count = 0;
  // The read map held foreign entries that could not be kept (no memory): writing would lose
  // them, so EncodeScancodeMap refuses.
  bool incomplete = false;
};

// Frees the entries and empties the list.
void FreeScancodeMapExtras(ScancodeMapExtras* extras);

// Takes a map value (size bytes, read byte-wise without alignment) into a key table copy:
// when size >= 16, the entry count n > 1 and size >= 4 * n + 12, each of the first n - 1
// entries whose key the table holds sets that entry's hardwareCode to the code sent (255 for 0),
// and the table is normalised. Entries whose key the table does not hold, and entries that send
// scan code 255 (which hardwareCode would read as "switched off"), go to *foreign instead; they
// are kept only from a map whose version and flags are 0, the only form the map is known in.
// *foreign (may be null: not collected) is freed and refilled; when its entries cannot be stored
// (no memory) it stays empty with incomplete set. True when the entries were taken; false when
// nothing was (no table, null or malformed value).
bool DecodeScancodeMap(const uint8_t* value, uint32_t size, KeyEntry* table, int32_t count,
                       ScancodeMapExtras* foreign);

enum class MapEncoding {
  kValue,           // *value holds the new map, *size its byte count; the caller frees *value
  kNothingToWrite,  // no substitution, no foreign entry and no map was read: leave the registry
  kFailed,          // no table, foreign->incomplete, size beyond 32 bits or no memory
};

// Builds the map from the entries before the table's end mark whose hardwareCode is not 0, in
// table order (255 written as 0), then the foreign entries unchanged (except those whose key the
// table now substitutes itself), then the zero end. mapRead: a map value existed when the
// installer started, so that clearing every substitution still writes an empty map.
// *value (malloc'd, freed by the caller with free()) and *size are null and 0 unless kValue.
MapEncoding EncodeScancodeMap(const KeyEntry* table, int32_t count, bool mapRead,
                              const ScancodeMapExtras& foreign, uint8_t** value, uint32_t* size);
