// Builds decoded string tables byte by byte, so that tests can also make damaged ones.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kUtf8Flag = 0x80000000u;
constexpr uint32_t kIgnoredBits = 0x60000000u;  // bits 29 and 30 of a record word

inline void PutU32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A counted record whose word is exactly `word`, followed by `text`.
inline Bytes RawRecord(uint32_t word, const Bytes& text) {
  Bytes r;
  PutU32(r, 0, word);
  r.insert(r.end(), text.begin(), text.end());
  return r;
}

inline Bytes Utf8Record(const std::string& s, uint32_t extraBits = 0) {
  return RawRecord(kUtf8Flag | extraBits | static_cast<uint32_t>(s.size()), Bytes(s.begin(), s.end()));
}

inline Bytes Utf16Record(const std::u16string& s, uint32_t extraBits = 0) {
  Bytes text;
  for (char16_t u : s) {
    text.push_back(static_cast<uint8_t>(u));
    text.push_back(static_cast<uint8_t>(u >> 8));
  }
  return RawRecord(extraBits | static_cast<uint32_t>(s.size()), text);
}

struct TableEntry {
  uint32_t id;
  Bytes record;
};

// Entries in the given order, then their records one after another, each after `pad` filler
// bytes (an odd pad puts UTF-16 text at odd addresses).
inline Bytes BuildTable(const std::vector<TableEntry>& entries, size_t pad = 0) {
  Bytes table(entries.size() * 8);
  Bytes texts;
  for (size_t i = 0; i < entries.size(); ++i) {
    texts.insert(texts.end(), pad, 0xAA);
    PutU32(table, i * 8, entries[i].id);
    PutU32(table, i * 8 + 4, static_cast<uint32_t>(texts.size()));
    texts.insert(texts.end(), entries[i].record.begin(), entries[i].record.end());
  }
  table.insert(table.end(), texts.begin(), texts.end());
  return table;
}

// An exactly sized malloc'd copy: a read past the end is caught by the sanitizer, and the table
// may take ownership of it.
inline uint8_t* MallocCopy(const Bytes& b) {
  uint8_t* p = static_cast<uint8_t*>(malloc(b.empty() ? 1 : b.size()));
  if (p && !b.empty()) memcpy(p, b.data(), b.size());
  return p;
}
