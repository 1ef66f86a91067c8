// Decoded string tables: Attach must refuse every layout that Find or the record fetch could
// read outside of, and everything it accepts must be searchable and fetchable.
//
// Input: byte 0 below 0x80 is the entry count and the table follows; otherwise bytes 1-4 are a
// little-endian 32-bit count (any value, negative ones too) and the table follows them.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "strings/gstring.h"
#include "text/tables/text_table.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Whether the record lies inside the table's buffer, header word and characters.
bool RecordInside(const TextTable& t, const uint8_t* record, size_t size) {
  const uint8_t* end = t.buffer + size;
  if (record < t.texts || record + 4 > end) return false;
  const uint32_t word = ReadU32(record);
  const uint64_t units = word & 0x1FFFFFFFu;
  const uint64_t bytes = (word & 0x80000000u) ? units : units * 2;
  return bytes <= static_cast<uint64_t>(end - record - 4);
}

// Linear answer to compare the binary search with.
const uint8_t* FindSlowly(const TextTable& t, uint32_t id) {
  for (int32_t i = 0; i < t.count; ++i) {
    if (ReadU32(t.entries + 8 * i) == id) return t.texts + ReadU32(t.entries + 8 * i + 4);
  }
  return nullptr;
}

void CheckId(const TextTable& t, size_t size, uint32_t id) {
  const uint8_t* record = t.Find(id);
  if (record != FindSlowly(t, id)) abort();
  const TextTable* order[] = {nullptr, &t};
  if (LookupInTables(order, 2, id) != record) abort();
  if (!record) return;
  if (!RecordInside(t, record, size)) abort();
  GString text;
  text.AssignNarrow("previous", -1, 0);
  if (TextFromRecord(record, text)) {
    if (!text.IsWide()) abort();
  } else if (!text.IsEmpty()) {
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 16)) return 0;
  int32_t count = data[0];
  size_t skip = 1;
  if (data[0] >= 0x80) {
    if (size < 5) return 0;
    count = static_cast<int32_t>(ReadU32(data + 1));
    skip = 5;
  }
  const size_t tableSize = size - skip;
  // An exactly sized copy, so that any read past the end is caught.
  uint8_t* bytes = static_cast<uint8_t*>(malloc(tableSize ? tableSize : 1));
  if (!bytes) return 0;
  memcpy(bytes, data + skip, tableSize);

  TextTable table{};
  if (!table.Attach(bytes, static_cast<uint32_t>(tableSize), count)) {
    if (table.buffer || table.count) abort();  // a refusal leaves the empty table empty
    free(bytes);
  } else {
    if (table.buffer != bytes || table.count != count) abort();
    for (int32_t i = 0; i < table.count; ++i) {
      const uint32_t id = ReadU32(table.entries + 8 * i);
      CheckId(table, tableSize, id);
      CheckId(table, tableSize, id + 1);
      CheckId(table, tableSize, id - 1);
    }
    CheckId(table, tableSize, 0);
    CheckId(table, tableSize, 0x7FFFFFFFu);
    CheckId(table, tableSize, 0x80000000u);
    CheckId(table, tableSize, 0xFFFFFFFFu);
    table.Free();
    if (table.buffer || table.entries || table.texts || table.count || table.Find(0)) abort();
  }

  // The same bytes as a licence blob.
  uint8_t* plain = static_cast<uint8_t*>(malloc(size));
  if (!plain) return 0;
  memcpy(plain, data, size);
  GString licence;
  if (TextFromBlobBytes(plain, static_cast<uint32_t>(size), licence)) {
    const bool bom = size > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
    const size_t expected = bom ? size - 3 : size;
    if (licence.IsWide() || static_cast<size_t>(licence.Length()) != expected) abort();
    if (memcmp(licence.NarrowAt(0), data + (bom ? 3 : 0), expected) != 0) abort();
  }
  free(plain);
  return 0;
}
