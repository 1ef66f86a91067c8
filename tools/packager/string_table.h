// Building a string table blob's plain data from a text file, and reading one back.
//
// Plain data of a table (little-endian), as the program's TextTable reads it:
//   +0           count entries of 8 bytes: u32 text identifier, u32 offset of its record from
//                the start of the text area; ascending by identifier (unsigned), unique
//   +8 * count   text area: counted text records, each a u32 word (bit 31 set: UTF-8 bytes
//                follow; clear: UTF-16LE units follow; bits 0-28: the length in those units)
//                and the characters, no terminator
// This builder also starts every record at a multiple of 4 from the text area (zero bytes in
// between), so that the word is aligned for any reader, writes the records in identifier
// order, and lets entries whose records are byte-identical share one record. The blob's extra
// header value is the count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/problems.h"
#include "tools/packager/text_file.h"

enum class RecordMode {
  kUtf8,      // every record UTF-8
  kUtf16,     // every record UTF-16
  kSmallest,  // per text the smaller record; UTF-8 on a tie
};

constexpr uint32_t kRecordUtf8Bit = 0x80000000u;
constexpr uint32_t kRecordLengthMask = 0x1FFFFFFFu;

// Builds the plain data of one table. The program decodes UTF-8 records only up to three-byte
// sequences, so a text with a character above U+FFFF takes a UTF-16 record ("smallest") or is
// refused ("utf8"). An empty file is refused too: the program does not start with a table of 0
// entries. Faults go to problems with the file, line and identifier.
bool BuildStringTable(const TextFile& file, RecordMode mode, std::vector<uint8_t>* table, uint32_t* count,
                      Problems* problems);

struct TableRecord {
  uint32_t id = 0;
  uint32_t offset = 0;  // from the start of the text area
  bool utf8 = false;
  std::string bytes;    // the characters as stored: UTF-8 bytes, or UTF-16LE units
};

// Reads a table's plain data with `count` entries, checking everything the program's reader
// relies on. False with a message at the first inconsistency.
bool ParseStringTable(const uint8_t* data, size_t size, uint32_t count, std::vector<TableRecord>* out,
                      std::string* error);

// A record's text as the program reads it (RecordUnits), as UTF-8: surrogate pairs are joined,
// a lone surrogate becomes U+FFFD. False for a UTF-8 record that the program could not decode.
bool RecordText(const TableRecord& record, std::string* utf8);

// A record's characters as 16-bit units, the way the program's GetText sees them (a UTF-8
// record through the program's own decoder). False when that decoder refuses the record.
bool RecordUnits(const TableRecord& record, std::u16string* units);
