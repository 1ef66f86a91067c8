#include "text/tables/text_table.h"

#include <climits>
#include <cstdlib>

#include "strings/gstring.h"

namespace {

constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kRecordHeaderSize = 4;
constexpr uint32_t kRecordUtf8Bit = 0x80000000u;
constexpr uint32_t kRecordLengthMask = 0x1FFFFFFFu;  // bits 29 and 30 carry nothing we read

// Entries and records sit at any byte offset, so words are read byte by byte.
uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Bytes of the characters of the record whose header word is `word`.
uint64_t RecordTextBytes(uint32_t word) {
  const uint64_t units = word & kRecordLengthMask;
  return (word & kRecordUtf8Bit) ? units : units * 2;
}

// Whether `count` entries over `size` bytes form a table that Find and AssignRecord can walk
// without leaving the buffer. Entry layout (8 bytes, little-endian):
//   +0  u32  text identifier, strictly ascending as unsigned numbers
//   +4  u32  offset of the text's record from the start of the text area
// Record layout at that offset:
//   +0  u32  bit 31: UTF-8 bytes follow, clear: UTF-16LE units; bits 0-28: length in units
//   +4  the characters, no terminator
bool IsSoundTable(const uint8_t* buffer, uint32_t size, uint32_t count) {
  if (count > size / kEntrySize) return false;  // also keeps 8 * count from wrapping
  const uint8_t* texts = buffer + static_cast<size_t>(count) * kEntrySize;
  const uint32_t textSize = size - count * kEntrySize;
  uint32_t previousId = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = buffer + static_cast<size_t>(i) * kEntrySize;
    const uint32_t id = ReadU32(entry);
    const uint32_t offset = ReadU32(entry + 4);
    if (i > 0 && id <= previousId) return false;
    previousId = id;
    if (textSize < kRecordHeaderSize || offset > textSize - kRecordHeaderSize) return false;
    const uint32_t room = textSize - kRecordHeaderSize - offset;
    if (RecordTextBytes(ReadU32(texts + offset)) > room) return false;
  }
  return true;
}

void MakeEmptyWide(GString& out) { out.AssignWide(nullptr, 0); }

}  // namespace

bool TextTable::Attach(uint8_t* newBuffer, uint32_t size, int32_t newCount) {
  if (!newBuffer || newCount <= 0) return false;
  if (!IsSoundTable(newBuffer, size, static_cast<uint32_t>(newCount))) return false;
  Free();
  count = newCount;
  buffer = newBuffer;
  entries = newBuffer;
  texts = newBuffer + static_cast<size_t>(newCount) * kEntrySize;
  return true;
}

void TextTable::Free() {
  free(buffer);
  count = 0;
  buffer = nullptr;
  entries = nullptr;
  texts = nullptr;
}

const uint8_t* TextTable::Find(uint32_t id) const {
  if (!entries || !texts) return nullptr;
  // Attach bounds count by size / 8, so lo + hi stays far below the int32 limit.
  int32_t lo = 0;
  int32_t hi = count - 1;
  while (lo <= hi) {
    const int32_t mid = (lo + hi) / 2;
    // Entry: +0 u32 identifier, +4 u32 record offset in the text area (see IsSoundTable).
    const uint8_t* entry = entries + static_cast<size_t>(mid) * kEntrySize;
    const uint32_t entryId = ReadU32(entry);
    if (entryId == id) return texts + ReadU32(entry + 4);
    if (entryId < id)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return nullptr;
}

bool TextFromRecord(const uint8_t* record, GString& out) {
  if (!record || !out.AssignRecord(record)) {
    MakeEmptyWide(out);
    return false;
  }
  // A UTF-8 record that does not decode is a failed fetch, not a narrow success.
  if (!out.AsWide(0)) {
    MakeEmptyWide(out);
    return false;
  }
  return true;
}

const uint8_t* LookupInTables(const TextTable* const* tables, int n, uint32_t id) {
  if (!tables) return nullptr;
  for (int i = 0; i < n; ++i) {
    if (!tables[i]) continue;
    if (const uint8_t* record = tables[i]->Find(id)) return record;
  }
  return nullptr;
}

int TextFromBlobBytes(const uint8_t* plain, uint32_t size, GString& out) {
  if (!plain) return 0;
  if (size > 2 && plain[0] == 0xEF && plain[1] == 0xBB && plain[2] == 0xBF) {
    plain += 3;
    size -= 3;
  }
  // A negative length would make the string measure up to a zero byte past the buffer.
  if (size > static_cast<uint32_t>(INT_MAX)) return 0;
  return out.AssignNarrow(reinterpret_cast<const char*>(plain), static_cast<int>(size), 0);
}
