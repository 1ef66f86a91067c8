#include "tools/packager/layout_tables_reader.h"

#include "tools/packager/byte_reader.h"

namespace {

// Caps on every walk: real layouts stay far below them.
constexpr unsigned kMaxRecords = 4096;

// The tables with pointers of P bytes, every structure aligned to P:
//   KBDTABLES  0 modifiers, P character tables, 2P dead keys, 3P key names, 4P extended key
//              names, 5P dead key names (array of string pointers), 6P scan-code table (u16
//              each), 7P its entry count (u8), 8P E0 list, 9P E1 list, 10P locale flags (u32),
//              10P+4 ligature width nLgMax (u8), 10P+5 ligature record size (u8), the ligature
//              table at the next multiple of P, then type and subtype (u32 each)
//   modifiers  0 VK_TO_BIT list (2-byte records up to a virtual key 0), P wMaxModBits (u16),
//              P+2 the column of each modifier combination (u8 each, wMaxModBits + 1)
//   character tables: records of 2P bytes (pointer, column count u8, record size u8) up to a
//              null pointer; each points to records {virtual key u8, attributes u8, u16 per
//              column} up to a virtual key 0
//   dead keys  8-byte records {base u16, dead character u16, composed u16, flags u16} up to 0
//   key names  2P-byte records {scan code u8, string pointer at P} up to a scan code 0
//   E0, E1     4-byte records {scan code u8, pad, virtual key u16} up to a scan code 0
//   ligatures  records {virtual key u8, pad, column u16, nLgMax u16} up to a virtual key 0
class TablesWalk {
 public:
  TablesWalk(const std::vector<uint8_t>& mapped, uint64_t imageBase, unsigned pointerSize, std::string* error)
      : m_b(mapped), m_base(imageBase), m_p(pointerSize), m_error(error) {}

  // A non-null pointer's place in the image.
  bool Target(uint64_t address, size_t* offset, const char* what) {
    if (address >= m_base && address - m_base < m_b.size()) {
      *offset = static_cast<size_t>(address - m_base);
      return true;
    }
    return Fail(std::string("the ") + what + " lie outside the image");
  }

  bool Read(size_t at, LayoutModel* out) {
    uint64_t modifiers = 0, chars = 0, dead = 0, names = 0, namesExt = 0, deadNames = 0, scans = 0, e0 = 0, e1 = 0,
             ligatures = 0;
    uint8_t scanCount = 0, ligatureWidth = 0, ligatureSize = 0;
    const size_t ligatureAt = at + (10 * m_p + 6 + m_p - 1) / m_p * m_p;
    if (!Pointer(at, &modifiers) || !Pointer(at + m_p, &chars) || !Pointer(at + 2 * m_p, &dead) ||
        !Pointer(at + 3 * m_p, &names) || !Pointer(at + 4 * m_p, &namesExt) || !Pointer(at + 5 * m_p, &deadNames) ||
        !Pointer(at + 6 * m_p, &scans) || !m_b.U8(at + 7 * m_p, &scanCount) || !Pointer(at + 8 * m_p, &e0) ||
        !Pointer(at + 9 * m_p, &e1) || !m_b.U32(at + 10 * m_p, &out->localeFlags) ||
        !m_b.U8(at + 10 * m_p + 4, &ligatureWidth) || !m_b.U8(at + 10 * m_p + 5, &ligatureSize) ||
        !Pointer(ligatureAt, &ligatures)) {
      return Fail("the layout tables reach past the end of the image");
    }
    // Some libraries end the tables after the ligature pointer: type and subtype then read
    // whatever follows, or nothing at the end of the file.
    m_b.U32(ligatureAt + m_p, &out->type);
    m_b.U32(ligatureAt + m_p + 4, &out->subType);
    out->ligatureWidth = ligatureWidth;
    return Modifiers(modifiers, out) && CharTables(chars, out) && DeadKeys(dead, out) && Names(names, &out->keyNames) &&
           Names(namesExt, &out->keyNamesExt) && DeadNames(deadNames, out) && ScanCodes(scans, scanCount, out) &&
           ScanList(e0, &out->e0) && ScanList(e1, &out->e1) && Ligatures(ligatures, ligatureWidth, ligatureSize, out);
  }

 private:
  bool Fail(const std::string& what) {
    *m_error = what;
    return false;
  }
  bool Pointer(size_t at, uint64_t* value) { return m_b.Word(at, m_p, value); }

  bool Modifiers(uint64_t address, LayoutModel* out) {
    size_t at = 0, list = 0;
    uint64_t bits = 0;
    uint16_t maxBits = 0;
    if (!Target(address, &at, "modifiers") || !Pointer(at, &bits) || !Target(bits, &list, "modifiers") ||
        !m_b.U16(at + m_p, &maxBits) || !m_b.Has(at + m_p + 2, maxBits + 1u) || maxBits > 255) {
      return Fail("the modifiers are damaged");
    }
    for (unsigned i = 0;; ++i) {
      VkToBit entry = {};
      if (i == kMaxRecords || !m_b.U8(list + 2 * i, &entry.vk) || !m_b.U8(list + 2 * i + 1, &entry.bits)) {
        return Fail("the list of modifier keys has no end");
      }
      if (entry.vk == 0) break;
      out->vkToBits.push_back(entry);
    }
    out->columnOfBits.assign(m_b.At(at + m_p + 2), m_b.At(at + m_p + 2) + maxBits + 1);
    return true;
  }

  bool CharTables(uint64_t address, LayoutModel* out) {
    size_t at = 0;
    if (!Target(address, &at, "character tables")) return false;
    for (unsigned t = 0; t < kMaxRecords; ++t) {
      uint64_t records = 0;
      uint8_t columns = 0, size = 0;
      const size_t entry = at + 2ull * m_p * t;
      if (!Pointer(entry, &records) || !m_b.U8(entry + m_p, &columns) || !m_b.U8(entry + m_p + 1, &size)) {
        return Fail("the character tables reach past the end of the file");
      }
      if (records == 0) return true;
      size_t first = 0;
      if (!Target(records, &first, "character tables")) return false;
      if (columns == 0 || size < 2 + 2u * columns) return Fail("a character table is damaged");
      CharTable table;
      table.columns = columns;
      for (unsigned r = 0;; ++r) {
        const size_t record = first + static_cast<size_t>(size) * r;
        CharRecord chars;
        if (r == kMaxRecords || !m_b.U8(record, &chars.vk)) return Fail("a character table has no end");
        if (chars.vk == 0) break;
        if (!m_b.Has(record, size)) return Fail("a character table reaches past the end of the file");
        m_b.U8(record + 1, &chars.attributes);
        chars.chars.resize(columns);
        for (unsigned c = 0; c < columns; ++c) m_b.U16(record + 2 + 2 * c, &chars.chars[c]);
        table.records.push_back(std::move(chars));
      }
      out->charTables.push_back(std::move(table));
    }
    return Fail("the list of character tables has no end");
  }

  bool DeadKeys(uint64_t address, LayoutModel* out) {
    size_t at = 0;
    if (address == 0) return true;
    if (!Target(address, &at, "dead keys")) return false;
    for (unsigned i = 0;; ++i) {
      DeadKeyEntry entry = {};
      const size_t record = at + 8ull * i;
      if (i == kMaxRecords || !m_b.U16(record, &entry.base) || !m_b.U16(record + 2, &entry.accent) ||
          !m_b.U16(record + 4, &entry.composed) || !m_b.U16(record + 6, &entry.flags)) {
        return Fail("the dead keys have no end");
      }
      if (entry.base == 0 && entry.accent == 0) return true;
      out->deadKeys.push_back(entry);
    }
  }

  bool Text(uint64_t address, std::u16string* out) {
    size_t at = 0;
    if (!Target(address, &at, "key names")) return false;
    for (unsigned n = 0; n <= kMaxKeyName; ++n) {
      uint16_t unit = 0;
      if (!m_b.U16(at + 2 * n, &unit)) break;
      if (unit == 0) return true;
      out->push_back(static_cast<char16_t>(unit));
    }
    return Fail("a key name has no end");
  }

  bool Names(uint64_t address, std::vector<KeyName>* out) {
    size_t at = 0;
    if (address == 0) return true;
    if (!Target(address, &at, "key names")) return false;
    for (unsigned i = 0;; ++i) {
      KeyName name = {};
      uint64_t text = 0;
      const size_t record = at + 2ull * m_p * i;
      if (i == kMaxRecords || !m_b.U8(record, &name.scan)) return Fail("a list of key names has no end");
      if (name.scan == 0) return true;
      if (!Pointer(record + m_p, &text) || !Text(text, &name.name)) return Fail("a key name is damaged");
      out->push_back(std::move(name));
    }
  }

  bool DeadNames(uint64_t address, LayoutModel* out) {
    size_t at = 0;
    if (address == 0) return true;
    if (!Target(address, &at, "dead key names")) return false;
    for (unsigned i = 0;; ++i) {
      uint64_t text = 0;
      if (i == kMaxRecords || !Pointer(at + static_cast<size_t>(m_p) * i, &text)) {
        return Fail("the dead key names have no end");
      }
      if (text == 0) return true;
      std::u16string name;
      if (!Text(text, &name)) return false;
      out->deadKeyNames.push_back(std::move(name));
    }
  }

  bool ScanCodes(uint64_t address, uint8_t count, LayoutModel* out) {
    size_t at = 0;
    if (!Target(address, &at, "scan-code table") || count == 0 || !m_b.Has(at, 2u * count)) {
      return Fail("the scan-code table is empty or reaches past the end of the file");
    }
    out->scanCodes.resize(count);
    for (unsigned i = 0; i < count; ++i) m_b.U16(at + 2 * i, &out->scanCodes[i]);
    return true;
  }

  bool ScanList(uint64_t address, std::vector<ScanVk>* out) {
    size_t at = 0;
    if (!Target(address, &at, "E0 and E1 lists")) return false;
    for (unsigned i = 0;; ++i) {
      ScanVk entry = {};
      if (i == kMaxRecords || !m_b.U8(at + 4 * i, &entry.scan) || !m_b.U16(at + 4 * i + 2, &entry.vk)) {
        return Fail("an E0 or E1 list has no end record");
      }
      if (entry.scan == 0) return true;
      out->push_back(entry);
    }
  }

  bool Ligatures(uint64_t address, unsigned width, unsigned size, LayoutModel* out) {
    size_t at = 0;
    if (address == 0) return true;
    if (!Target(address, &at, "ligatures")) return false;
    if (width == 0 || size < 4 + 2 * width) return Fail("the ligature table is damaged");
    for (unsigned i = 0;; ++i) {
      const size_t record = at + static_cast<size_t>(size) * i;
      Ligature ligature = {};
      if (i == kMaxRecords || !m_b.U8(record, &ligature.vk)) return Fail("the ligature table has no end");
      if (ligature.vk == 0) return true;
      if (!m_b.Has(record, size)) return Fail("the ligature table reaches past the end of the file");
      m_b.U16(record + 2, &ligature.column);
      ligature.chars.resize(width);
      for (unsigned c = 0; c < width; ++c) m_b.U16(record + 4 + 2 * c, &ligature.chars[c]);
      out->ligatures.push_back(std::move(ligature));
    }
  }

  ByteReader m_b;
  uint64_t m_base;
  unsigned m_p;
  std::string* m_error;
};

}  // namespace

bool ReadLayoutModel(const std::vector<uint8_t>& mapped, uint64_t imageBase, uint64_t address, unsigned pointerSize,
                     LayoutModel* out, std::string* error) {
  *out = LayoutModel();
  TablesWalk walk(mapped, imageBase, pointerSize, error);
  size_t at = 0;
  return walk.Target(address, &at, "layout tables") && walk.Read(at, out);
}
