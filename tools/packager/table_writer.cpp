#include "tools/packager/table_writer.h"

namespace {

constexpr uint32_t kNull = 0xFFFFFFFF;  // a pointer field that stays 0

class Writer {
 public:
  explicit Writer(unsigned pointerSize) { m_blob.pointerSize = pointerSize; }

  void Align(unsigned n) {
    while (m_blob.bytes.size() % n) m_blob.bytes.push_back(0);
  }
  uint32_t Here() const { return static_cast<uint32_t>(m_blob.bytes.size()); }
  void U8(unsigned value) { m_blob.bytes.push_back(static_cast<uint8_t>(value)); }
  void U16(unsigned value) {
    U8(value & 0xFF);
    U8(value >> 8);
  }
  void U32(uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }
  void Zeros(size_t count) { m_blob.bytes.insert(m_blob.bytes.end(), count, 0); }
  void Pointer(uint32_t target) {
    const unsigned p = m_blob.pointerSize;
    if (target != kNull) m_blob.pointers.push_back(Here());
    const uint64_t value = target == kNull ? 0 : target;
    for (unsigned i = 0; i < p; ++i) U8(static_cast<unsigned>((value >> (8 * i)) & 0xFF));
  }
  unsigned P() const { return m_blob.pointerSize; }
  TablesBlob& blob() { return m_blob; }

 private:
  TablesBlob m_blob;
};

uint32_t ScanList(Writer& w, const std::vector<ScanVk>& list) {
  w.Align(4);
  const uint32_t at = w.Here();
  for (const ScanVk& entry : list) {
    w.U8(entry.scan);
    w.U8(0);
    w.U16(entry.vk);
  }
  w.Zeros(4);
  return at;
}

uint32_t Modifiers(Writer& w, const LayoutModel& m) {
  w.Align(2);
  const uint32_t bits = w.Here();
  for (const VkToBit& entry : m.vkToBits) {
    w.U8(entry.vk);
    w.U8(entry.bits);
  }
  w.Zeros(2);
  w.Align(w.P());
  const uint32_t at = w.Here();
  w.Pointer(bits);
  w.U16(static_cast<unsigned>(m.columnOfBits.size() - 1));
  for (uint8_t column : m.columnOfBits) w.U8(column);
  w.Align(w.P());
  return at;
}

uint32_t CharTables(Writer& w, const LayoutModel& m) {
  std::vector<uint32_t> records;
  for (const CharTable& table : m.charTables) {
    w.Align(2);
    records.push_back(w.Here());
    for (const CharRecord& record : table.records) {
      w.U8(record.vk);
      w.U8(record.attributes);
      for (uint16_t c : record.chars) w.U16(c);
    }
    w.Zeros(2 + 2 * table.columns);
  }
  w.Align(w.P());
  const uint32_t at = w.Here();
  for (size_t i = 0; i < m.charTables.size(); ++i) {
    w.Pointer(records[i]);
    w.U8(m.charTables[i].columns);
    w.U8(2 + 2 * m.charTables[i].columns);
    w.Align(w.P());
  }
  w.Zeros(2 * w.P());
  return at;
}

uint32_t DeadKeys(Writer& w, const LayoutModel& m) {
  if (m.deadKeys.empty()) return kNull;
  w.Align(4);
  const uint32_t at = w.Here();
  for (const DeadKeyEntry& entry : m.deadKeys) {
    w.U16(entry.base);
    w.U16(entry.accent);
    w.U16(entry.composed);
    w.U16(entry.flags);
  }
  w.Zeros(8);
  return at;
}

uint32_t Text(Writer& w, const std::u16string& text) {
  w.Align(2);
  const uint32_t at = w.Here();
  for (char16_t c : text) w.U16(c);
  w.U16(0);
  return at;
}

uint32_t Names(Writer& w, const std::vector<KeyName>& names) {
  std::vector<uint32_t> texts;
  for (const KeyName& name : names) texts.push_back(Text(w, name.name));
  w.Align(w.P());
  const uint32_t at = w.Here();
  for (size_t i = 0; i < names.size(); ++i) {
    w.U8(names[i].scan);
    w.Align(w.P());
    w.Pointer(texts[i]);
  }
  w.Zeros(2 * w.P());
  return at;
}

uint32_t DeadNames(Writer& w, const LayoutModel& m) {
  if (m.deadKeyNames.empty()) return kNull;
  std::vector<uint32_t> texts;
  for (const std::u16string& name : m.deadKeyNames) texts.push_back(Text(w, name));
  w.Align(w.P());
  const uint32_t at = w.Here();
  for (uint32_t text : texts) w.Pointer(text);
  w.Zeros(w.P());
  return at;
}

uint32_t Ligatures(Writer& w, const LayoutModel& m) {
  if (m.ligatures.empty()) return kNull;
  w.Align(2);
  const uint32_t at = w.Here();
  for (const Ligature& ligature : m.ligatures) {
    w.U8(ligature.vk);
    w.U8(0);
    w.U16(ligature.column);
    for (uint16_t c : ligature.chars) w.U16(c);
  }
  w.Zeros(4 + 2 * m.ligatureWidth);
  return at;
}

}  // namespace

TablesBlob WriteTables(const LayoutModel& m, unsigned pointerSize) {
  Writer w(pointerSize);
  w.Align(2);
  const uint32_t scanCodes = w.Here();
  for (uint16_t entry : m.scanCodes) w.U16(entry);
  const uint32_t e0 = ScanList(w, m.e0), e1 = ScanList(w, m.e1);
  const uint32_t modifiers = Modifiers(w, m), chars = CharTables(w, m), dead = DeadKeys(w, m);
  const uint32_t names = Names(w, m.keyNames), namesExt = Names(w, m.keyNamesExt), deadNames = DeadNames(w, m);
  const uint32_t ligatures = Ligatures(w, m);

  // KBDTABLES, the layout of layout_tables_reader.cpp.
  w.Align(pointerSize);
  w.blob().tables = w.Here();
  for (uint32_t pointer : {modifiers, chars, dead, names, namesExt, deadNames, scanCodes}) w.Pointer(pointer);
  w.U8(static_cast<unsigned>(m.scanCodes.size()));
  w.Align(pointerSize);
  w.Pointer(e0);
  w.Pointer(e1);
  w.U32(m.localeFlags);
  w.U8(m.ligatureWidth);
  w.U8(m.ligatures.empty() ? 0 : 4 + 2 * m.ligatureWidth);
  w.Align(pointerSize);
  w.Pointer(ligatures);
  w.U32(m.type);
  w.U32(m.subType);
  w.Align(pointerSize);
  return w.blob();
}

void PlaceTables(TablesBlob* blob, uint64_t address) {
  for (uint32_t at : blob->pointers) {
    uint64_t value = 0;
    for (unsigned i = 0; i < blob->pointerSize; ++i) value |= static_cast<uint64_t>(blob->bytes[at + i]) << (8 * i);
    value += address;
    for (unsigned i = 0; i < blob->pointerSize; ++i) blob->bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}
