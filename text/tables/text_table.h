// TextTable: one decoded string table, and the fetch of a text record into a GString.
//
// Decoded table layout (little-endian):
//   +0            count entries of 8 bytes: u32 text identifier, u32 offset of its record from
//                 the start of the text area; ascending by identifier (unsigned), unique
//   +8 * count    text area: counted text records (u32 word: bit 31 set = UTF-8 bytes, clear =
//                 UTF-16 units; bits 29-30 ignored; bits 0-28 length in units), no terminators
#pragma once

#include <cstdint>

class GString;

struct TextTable {
  int32_t count;
  uint8_t* buffer;         // owned (malloc), freed by Free
  const uint8_t* entries;  // = buffer
  const uint8_t* texts;    // = buffer + 8 * count

  // Takes ownership of a decoded table of `size` bytes holding `count` entries. Refuses (false,
  // table unchanged, buffer not taken) a null buffer, a count of 0, and a damaged layout: entries
  // beyond the buffer, identifiers out of order, or a record that reaches past the buffer.
  bool Attach(uint8_t* buffer, uint32_t size, int32_t count);

  // Frees the buffer and clears all four members; harmless on an empty table.
  void Free();

  // The record of a text (its header word), or null.
  const uint8_t* Find(uint32_t id) const;
};

// Assigns a record to out and makes out wide. False (out empty) for a null record, a UTF-8
// record that does not decode, or no memory.
bool TextFromRecord(const uint8_t* record, GString& out);

// The record of a text from the first of n tables that holds it, in the order given (the
// caller passes the language table, the common table and, where it applies, the extra table).
// Null tables are skipped; null when none holds the text.
const uint8_t* LookupInTables(const TextTable* const* tables, int n, uint32_t id);

// A licence text from the plain bytes of its decoded blob: a leading EF BB BF is skipped when
// size > 2, and out becomes a narrow string of the remaining bytes as they are. Non-zero on
// success; 0 (out untouched) for null bytes or a size beyond what a string holds. The bytes
// stay the caller's.
int TextFromBlobBytes(const uint8_t* plain, uint32_t size, GString& out);
