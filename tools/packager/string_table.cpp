#include "tools/packager/string_table.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

#include "strings/utf8.h"
#include "tools/packager/utf.h"

namespace {

void PutU32(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The stored form of one record: word and characters.
bool MakeRecord(const TextFile& file, const TextEntry& entry, RecordMode mode, std::string* record,
                Problems* problems) {
  std::u32string codePoints;
  if (!DecodeUtf8(entry.text, &codePoints, nullptr)) {
    problems->Add(file.path, entry.line, "text " + std::to_string(entry.id) + ": invalid UTF-8");
    return false;
  }
  const std::u16string units = ToUtf16(codePoints);
  const bool beyondBmp = units.size() != codePoints.size();
  bool utf8;
  switch (mode) {
    case RecordMode::kUtf8:
      if (beyondBmp) {
        problems->Add(file.path, entry.line,
                      "text " + std::to_string(entry.id) +
                          ": holds a character above U+FFFF, which the program cannot read from a UTF-8 "
                          "record (use records = \"utf16\" or \"smallest\")");
        return false;
      }
      utf8 = true;
      break;
    case RecordMode::kUtf16:
      utf8 = false;
      break;
    default:
      utf8 = !beyondBmp && entry.text.size() <= 2 * units.size();
      break;
  }
  const size_t length = utf8 ? entry.text.size() : units.size();
  if (length > kRecordLengthMask) {
    problems->Add(file.path, entry.line, "text " + std::to_string(entry.id) + ": too long for a text record");
    return false;
  }
  std::vector<uint8_t> word(4);
  PutU32(&word, 0, static_cast<uint32_t>(length) | (utf8 ? kRecordUtf8Bit : 0));
  record->assign(word.begin(), word.end());
  if (utf8) {
    *record += entry.text;
  } else {
    for (char16_t unit : units) {
      record->push_back(static_cast<char>(unit & 0xFF));
      record->push_back(static_cast<char>(unit >> 8));
    }
  }
  return true;
}

}  // namespace

bool BuildStringTable(const TextFile& file, RecordMode mode, std::vector<uint8_t>* table, uint32_t* count,
                      Problems* problems) {
  table->clear();
  *count = 0;
  if (file.entries.empty()) {
    problems->Add(file.path, 0, "holds no texts; the program refuses a table of 0 entries");
    return false;
  }
  std::vector<const TextEntry*> sorted;
  for (const TextEntry& entry : file.entries) sorted.push_back(&entry);
  std::sort(sorted.begin(), sorted.end(), [](const TextEntry* a, const TextEntry* b) { return a->id < b->id; });
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i]->id == sorted[i - 1]->id) {
      problems->Add(file.path, sorted[i]->line, "text " + std::to_string(sorted[i]->id) + " defined twice");
      return false;
    }
  }

  std::vector<uint8_t> area;
  std::map<std::string, uint32_t> shared;  // record bytes -> offset
  std::vector<uint32_t> offsets;
  bool ok = true;
  for (const TextEntry* entry : sorted) {
    std::string record;
    if (!MakeRecord(file, *entry, mode, &record, problems)) {
      ok = false;
      offsets.push_back(0);
      continue;
    }
    auto found = shared.find(record);
    if (found != shared.end()) {
      offsets.push_back(found->second);
      continue;
    }
    area.resize((area.size() + 3) & ~static_cast<size_t>(3), 0);
    if (area.size() + record.size() > UINT32_MAX / 2) {
      problems->Add(file.path, entry->line, "the table grows too large");
      return false;
    }
    const uint32_t offset = static_cast<uint32_t>(area.size());
    shared.emplace(record, offset);
    offsets.push_back(offset);
    area.insert(area.end(), record.begin(), record.end());
  }
  if (!ok) return false;

  table->assign(8 * sorted.size(), 0);
  for (size_t i = 0; i < sorted.size(); ++i) {
    PutU32(table, 8 * i, sorted[i]->id);
    PutU32(table, 8 * i + 4, offsets[i]);
  }
  table->insert(table->end(), area.begin(), area.end());
  *count = static_cast<uint32_t>(sorted.size());
  return true;
}

bool ParseStringTable(const uint8_t* data, size_t size, uint32_t count, std::vector<TableRecord>* out,
                      std::string* error) {
  out->clear();
  if (count == 0) {
    *error = "0 entries";
    return false;
  }
  if (count > size / 8) {
    *error = std::to_string(count) + " entries do not fit in " + std::to_string(size) + " bytes";
    return false;
  }
  const size_t areaStart = 8 * static_cast<size_t>(count);
  const size_t areaSize = size - areaStart;
  for (uint32_t i = 0; i < count; ++i) {
    TableRecord record;
    record.id = GetU32(data + 8 * i);
    record.offset = GetU32(data + 8 * i + 4);
    if (i > 0 && record.id <= out->back().id) {
      *error = "entry " + std::to_string(i) + " (text " + std::to_string(record.id) + ") is out of order";
      return false;
    }
    if (record.offset > areaSize || areaSize - record.offset < 4) {
      *error = "text " + std::to_string(record.id) + ": record offset " + HexOffset(record.offset) +
               " lies outside the text area";
      return false;
    }
    const uint32_t word = GetU32(data + areaStart + record.offset);
    record.utf8 = (word & kRecordUtf8Bit) != 0;
    const size_t bytes = static_cast<size_t>(word & kRecordLengthMask) * (record.utf8 ? 1 : 2);
    if (bytes > areaSize - record.offset - 4) {
      *error = "text " + std::to_string(record.id) + ": record reaches past the end of the table";
      return false;
    }
    record.bytes.assign(reinterpret_cast<const char*>(data + areaStart + record.offset + 4), bytes);
    out->push_back(std::move(record));
  }
  return true;
}

bool RecordUnits(const TableRecord& record, std::u16string* units) {
  units->clear();
  if (!record.utf8) {
    for (size_t i = 0; i + 1 < record.bytes.size(); i += 2) {
      units->push_back(static_cast<char16_t>(static_cast<uint8_t>(record.bytes[i]) |
                                             static_cast<uint8_t>(record.bytes[i + 1]) << 8));
    }
    return true;
  }
  // The program's own decoder, so that a record is readable here exactly when it is there.
  const size_t size = record.bytes.size();
  if (size > static_cast<size_t>(INT_MAX)) return false;
  units->resize(size);
  const int written = Utf8Decode(record.bytes.data(), static_cast<int>(size), units->data(), static_cast<int>(size));
  if (written < 0) {
    units->clear();
    return false;
  }
  units->resize(static_cast<size_t>(written));
  return true;
}

bool RecordText(const TableRecord& record, std::string* utf8) {
  utf8->clear();
  std::u16string units;
  if (!RecordUnits(record, &units)) return false;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(c, utf8);
  }
  return true;
}
