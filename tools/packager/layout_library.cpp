#include "tools/packager/layout_library.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineIa64 = 0x0200;
constexpr uint8_t kVkDecimal = 0x6E;

// Walks are bounded so that a damaged file cannot keep us going.
constexpr uint32_t kMaxExports = 65536;
constexpr uint32_t kMaxSections = 96;
constexpr unsigned kMaxListRecords = 256;
constexpr unsigned kMaxCharTables = 64;
constexpr unsigned kMaxCharRecords = 1024;

// Little-endian reads that first check the bytes are there.
class Bytes {
 public:
  explicit Bytes(const std::vector<uint8_t>& data) : m_data(data) {}
  bool Has(size_t offset, size_t length) const { return offset <= m_data.size() && m_data.size() - offset >= length; }
  bool U8(size_t offset, uint8_t* value) const {
    if (!Has(offset, 1)) return false;
    *value = m_data[offset];
    return true;
  }
  bool U16(size_t offset, uint16_t* value) const {
    uint64_t v = 0;
    if (!Le(offset, 2, &v)) return false;
    *value = static_cast<uint16_t>(v);
    return true;
  }
  bool U32(size_t offset, uint32_t* value) const {
    uint64_t v = 0;
    if (!Le(offset, 4, &v)) return false;
    *value = static_cast<uint32_t>(v);
    return true;
  }
  bool U64(size_t offset, uint64_t* value) const { return Le(offset, 8, value); }
  bool Word(size_t offset, unsigned size, uint64_t* value) const { return Le(offset, size, value); }

 private:
  bool Le(size_t offset, size_t length, uint64_t* value) const {
    if (!Has(offset, length)) return false;
    *value = 0;
    for (size_t i = 0; i < length; ++i) *value |= static_cast<uint64_t>(m_data[offset + i]) << (8 * i);
    return true;
  }
  const std::vector<uint8_t>& m_data;
};

struct Section {
  uint32_t address;  // RVA
  uint32_t rawSize;
  uint32_t rawOffset;
};

// The parts of a PE file the tables need.
//   +0x3C  u32  offset of "PE\0\0"; after it the file header: +4 machine, +6 section count,
//               +20 size of the optional header; the optional header at +24: magic 0x10B
//               (PE32: image base u32 at +28, data directories at +96) or 0x20B (PE32+: image
//               base u64 at +24, directories at +112), directory count 4 bytes before them;
//               the section headers (40 bytes: +12 RVA, +16 raw size, +20 raw offset) follow
//               the optional header.
//   Export directory (directory 0): +20 function count, +24 name count, +28 function RVAs,
//               +32 name RVAs, +36 name ordinals (u16).
class PeFile {
 public:
  explicit PeFile(const std::vector<uint8_t>& data) : m_data(data), m_bytes(data), m_size(data.size()) {}

  bool Parse(std::string* error) {
    uint8_t m = 0, z = 0;
    uint32_t pe = 0, signature = 0;
    if (!m_bytes.U8(0, &m) || !m_bytes.U8(1, &z) || m != 'M' || z != 'Z' || !m_bytes.U32(0x3C, &pe) ||
        !m_bytes.U32(pe, &signature) || signature != 0x4550) {
      *error = "not a Windows library (no PE header)";
      return false;
    }
    uint16_t sections = 0, optionalSize = 0, magic = 0;
    const size_t optional = static_cast<size_t>(pe) + 24;
    if (!m_bytes.U16(pe + 4, &machine) || !m_bytes.U16(pe + 6, &sections) || !m_bytes.U16(pe + 20, &optionalSize) ||
        !m_bytes.U16(optional, &magic) || (magic != 0x10B && magic != 0x20B)) {
      *error = "damaged PE header";
      return false;
    }
    size_t directories = 0;
    uint32_t directoryCount = 0;
    if (magic == 0x10B) {
      uint32_t base32 = 0;
      if (!m_bytes.U32(optional + 28, &base32)) return Damaged(error);
      imageBase = base32;
      directories = optional + 96;
    } else {
      if (!m_bytes.U64(optional + 24, &imageBase)) return Damaged(error);
      directories = optional + 112;
    }
    if (!m_bytes.U32(directories - 4, &directoryCount) || directoryCount < 1 ||
        !m_bytes.U32(directories, &m_exportRva) || !m_bytes.U32(directories + 4, &m_exportSize)) {
      return Damaged(error);
    }
    if (sections > kMaxSections) return Damaged(error);
    for (size_t i = 0, at = optional + optionalSize; i < sections; ++i, at += 40) {
      Section section = {};
      if (!m_bytes.U32(at + 12, &section.address) || !m_bytes.U32(at + 16, &section.rawSize) ||
          !m_bytes.U32(at + 20, &section.rawOffset)) {
        return Damaged(error);
      }
      m_sections.push_back(section);
    }
    return true;
  }

  // File offset of an RVA and the bytes of its section's raw data from there (within the file).
  bool Offset(uint64_t rva, size_t* offset, size_t* room = nullptr) const {
    for (const Section& s : m_sections) {
      if (rva < s.address || rva - s.address >= s.rawSize) continue;
      const uint64_t at = static_cast<uint64_t>(s.rawOffset) + (rva - s.address);
      if (at >= m_size) return false;
      const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(s.rawOffset) + s.rawSize, m_size);
      *offset = static_cast<size_t>(at);
      if (room) *room = static_cast<size_t>(end - at);
      return true;
    }
    return false;
  }

  // File offset of an address as the library's own code and tables hold it (image base applied).
  bool OffsetOfAddress(uint64_t address, size_t* offset, size_t* room = nullptr) const {
    return address >= imageBase && Offset(address - imageBase, offset, room);
  }

  bool ExportRva(const char* name, uint32_t* rva, std::string* error) const {
    size_t directory = 0;
    uint32_t functions = 0, names = 0, functionTable = 0, nameTable = 0, ordinalTable = 0;
    if (m_exportRva == 0 || !Offset(m_exportRva, &directory) || !m_bytes.U32(directory + 20, &functions) ||
        !m_bytes.U32(directory + 24, &names) || !m_bytes.U32(directory + 28, &functionTable) ||
        !m_bytes.U32(directory + 32, &nameTable) || !m_bytes.U32(directory + 36, &ordinalTable) ||
        names > kMaxExports || functions > kMaxExports) {
      *error = "exports nothing (no export directory)";
      return false;
    }
    const size_t length = strlen(name);
    for (uint32_t i = 0; i < names; ++i) {
      size_t at = 0, room = 0, entry = 0, ordinalAt = 0, functionAt = 0;
      uint32_t nameRva = 0;
      uint16_t ordinal = 0;
      if (!Offset(nameTable + 4ull * i, &entry) || !m_bytes.U32(entry, &nameRva) || !Offset(nameRva, &at, &room) ||
          room < length + 1 || memcmp(&m_data[at], name, length + 1) != 0) {
        continue;
      }
      if (!Offset(ordinalTable + 2ull * i, &ordinalAt) || !m_bytes.U16(ordinalAt, &ordinal) || ordinal >= functions ||
          !Offset(functionTable + 4ull * ordinal, &functionAt) || !m_bytes.U32(functionAt, rva)) {
        return Damaged(error);
      }
      if (*rva >= m_exportRva && *rva - m_exportRva < m_exportSize) {
        *error = std::string(name) + " is forwarded to another library";
        return false;
      }
      return true;
    }
    *error = std::string("does not export ") + name + " (not a keyboard layout library)";
    return false;
  }

  const Bytes& bytes() const { return m_bytes; }
  uint16_t machine = 0;
  uint64_t imageBase = 0;

 private:
  static bool Damaged(std::string* error) {
    *error = "damaged PE header";
    return false;
  }
  const std::vector<uint8_t>& m_data;
  Bytes m_bytes;
  size_t m_size;
  uint32_t m_exportRva = 0;
  uint32_t m_exportSize = 0;
  std::vector<Section> m_sections;
};

// The layout tables (KBDTABLES) at a file offset, with pointers of `size` bytes:
//   pointers 0..6: character modifiers, character tables, dead keys, key names, extended key
//   names, dead key names, the scan-code table; byte bMaxVSCtoVK at 7 pointers; the E0 and E1
//   lists at 8 and 9 pointers.
// Character tables: records of a pointer, the column count and the record size (2 pointers
// each), up to a null pointer; each points to records of {virtual key, attributes, characters},
// up to a virtual key 0. E0 and E1 lists: 4-byte records up to a scan code 0.
bool ReadTablesAt(const PeFile& pe, size_t at, unsigned size, LayoutTables* out, std::string* error) {
  const Bytes& b = pe.bytes();
  uint64_t p[10] = {};
  for (unsigned i : {0u, 1u, 6u, 8u, 9u}) {
    if (!b.Word(at + i * size, size, &p[i])) {
      *error = "the layout tables reach past the end of the file";
      return false;
    }
  }
  uint8_t entries = 0;
  size_t modifiers = 0, charTables = 0, main = 0, mainRoom = 0, e0 = 0, e1 = 0;
  if (!b.U8(at + 7 * size, &entries) || !pe.OffsetOfAddress(p[0], &modifiers) ||
      !pe.OffsetOfAddress(p[1], &charTables) || !pe.OffsetOfAddress(p[6], &main, &mainRoom) ||
      !pe.OffsetOfAddress(p[8], &e0) || !pe.OffsetOfAddress(p[9], &e1)) {
    *error = "the layout tables point outside the file";
    return false;
  }
  if (entries == 0 || mainRoom < 2u * entries) {
    *error = "the scan-code table is empty or reaches past its section";
    return false;
  }
  for (size_t list : {e0, e1}) {
    unsigned n = 0;
    uint8_t scan = 1;
    for (; n < kMaxListRecords && b.U8(list + 4 * n, &scan) && scan != 0; ++n) {
    }
    if (scan != 0 || !b.Has(list + 4 * n, 4)) {
      *error = "an E0 or E1 list has no end record";
      return false;
    }
  }
  out->mainTable = main;
  out->mainEntries = entries;
  out->e0List = e0;
  out->e1List = e1;
  out->decimalKey = kNoOffset;
  out->decimalColumns = 0;
  for (unsigned t = 0; t < kMaxCharTables; ++t) {
    uint64_t records = 0;
    uint8_t columns = 0, recordSize = 0;
    const size_t entry = charTables + 2ull * size * t;
    if (!b.Word(entry, size, &records) || !b.U8(entry + size, &columns) || !b.U8(entry + size + 1, &recordSize)) {
      *error = "the character tables reach past the end of the file";
      return false;
    }
    if (records == 0) return true;
    size_t first = 0;
    if (!pe.OffsetOfAddress(records, &first) || recordSize < 2 + 2u * columns || columns == 0) {
      *error = "a character table is damaged";
      return false;
    }
    for (unsigned r = 0; r < kMaxCharRecords; ++r) {
      uint8_t vk = 0;
      const size_t record = first + static_cast<size_t>(recordSize) * r;
      if (!b.U8(record, &vk) || vk == 0) break;
      if (vk == kVkDecimal && out->decimalKey == kNoOffset && b.Has(record, recordSize)) {
        out->decimalKey = record + 2;
        out->decimalColumns = columns;
      }
    }
  }
  *error = "the list of character tables has no end";
  return false;
}

// IA-64: slot types of a bundle template ('M', 'I', or another unit), and addl r1 = imm22, r3
// (major opcode 9; r3 in bits 20-21, imm7b 13-19, imm9d 27-35, imm5c 22-26, sign 36).
char SlotUnit(unsigned templ, int slot) {
  static const char* const kUnits[16] = {"MII", "MII", "MLX", "",    "MMI", "MMI", "MFI", "MMF",
                                         "MIB", "MBB", "",    "BBB", "MMB", "",    "MFB", ""};
  const char* units = kUnits[(templ >> 1) & 15];
  return units[0] ? units[slot] : 0;
}

bool GpAddend(uint64_t low, uint64_t high, int64_t* addend) {
  const unsigned templ = static_cast<unsigned>(low & 31);
  for (int slot = 0; slot < 3; ++slot) {
    const int shift = 5 + 41 * slot;
    uint64_t insn;
    if (shift + 41 <= 64) {
      insn = (low >> shift) & ((1ull << 41) - 1);
    } else if (shift >= 64) {
      insn = (high >> (shift - 64)) & ((1ull << 41) - 1);
    } else {
      insn = ((low >> shift) | (high << (64 - shift))) & ((1ull << 41) - 1);
    }
    const char unit = SlotUnit(templ, slot);
    if ((unit != 'M' && unit != 'I') || (insn >> 37) != 9 || ((insn >> 20) & 3) != 1) continue;
    int64_t imm = static_cast<int64_t>(((insn >> 36) & 1) << 21 | ((insn >> 22) & 31) << 16 |
                                       ((insn >> 27) & 511) << 7 | ((insn >> 13) & 127));
    if (imm & (1 << 21)) imm -= 1 << 22;
    *addend = imm;
    return true;
  }
  return false;
}

// Addresses where the tables may start, from the code of KbdLayerDescriptor.
//   x86:     B8 imm32 [31 D2 | 33 D2 | 99] C3    mov eax, tables (EDX zeroed: a 64-bit result)
//   x64:     48 8D 05 rel32 C3 (lea rax, [rip + rel32]) or 48 B8 imm64 C3
//   Itanium: the export is a descriptor {code, gp}; the code adds a constant to gp, which is
//            the tables' address or the address of a slot that holds it.
bool CandidateAddresses(const PeFile& pe, uint32_t rva, std::vector<uint64_t>* out, bool* wide, std::string* error) {
  const Bytes& b = pe.bytes();
  size_t code = 0;
  *wide = false;
  if (!pe.Offset(rva, &code)) {
    *error = "KbdLayerDescriptor lies outside the file";
    return false;
  }
  uint8_t op[16] = {};
  for (size_t i = 0; i < sizeof op; ++i) b.U8(code + i, &op[i]);
  const std::string unknown = "KbdLayerDescriptor does not simply return the address of the tables";
  if (pe.machine == kMachineI386) {
    uint32_t imm = 0;
    if (op[0] != 0xB8 || !b.U32(code + 1, &imm)) {
      *error = unknown;
      return false;
    }
    *wide = (op[5] == 0x31 || op[5] == 0x33) && op[6] == 0xD2 ? op[7] == 0xC3 : op[5] == 0x99 && op[6] == 0xC3;
    if (!*wide && op[5] != 0xC3) {
      *error = unknown;
      return false;
    }
    out->push_back(imm);
    return true;
  }
  if (pe.machine == kMachineAmd64) {
    uint32_t rel = 0;
    uint64_t imm = 0;
    if (op[0] == 0x48 && op[1] == 0x8D && op[2] == 0x05 && b.U32(code + 3, &rel) && op[7] == 0xC3) {
      out->push_back(pe.imageBase + rva + 7 + static_cast<int64_t>(static_cast<int32_t>(rel)));
      return true;
    }
    if (op[0] == 0x48 && op[1] == 0xB8 && b.U64(code + 2, &imm) && op[10] == 0xC3) {
      out->push_back(imm);
      return true;
    }
    *error = unknown;
    return false;
  }
  if (pe.machine == kMachineIa64) {
    uint64_t entry = 0, gp = 0;
    size_t body = 0;
    if (!b.U64(code, &entry) || !b.U64(code + 8, &gp) || !pe.OffsetOfAddress(entry, &body)) {
      *error = "KbdLayerDescriptor's function descriptor is damaged";
      return false;
    }
    for (int bundle = 0; bundle < 4; ++bundle) {
      uint64_t low = 0, high = 0;
      int64_t addend = 0;
      if (!b.U64(body + 16 * bundle, &low) || !b.U64(body + 16 * bundle + 8, &high)) break;
      if (!GpAddend(low, high, &addend)) continue;
      const uint64_t address = gp + static_cast<uint64_t>(addend);
      size_t slot = 0;
      uint64_t held = 0;
      if (pe.OffsetOfAddress(address, &slot) && b.U64(slot, &held)) out->push_back(held);
      out->push_back(address);
      return true;
    }
    *error = unknown;
    return false;
  }
  *error = "a library for a processor other than x86, x64 or Itanium";
  return false;
}

}  // namespace

const char* LayoutEditionName(LayoutEdition edition) {
  switch (edition) {
    case LayoutEdition::kX86:
      return "x86";
    case LayoutEdition::kX64:
      return "x64";
    case LayoutEdition::kItanium:
      return "Itanium";
    case LayoutEdition::kWow64:
      return "WOW64";
  }
  return "?";
}

bool ReadLayoutTables(const std::vector<uint8_t>& image, LayoutTables* out, std::string* error) {
  *out = LayoutTables();
  PeFile pe(image);
  uint32_t rva = 0;
  std::vector<uint64_t> candidates;
  bool wide = false;
  if (!pe.Parse(error) || !pe.ExportRva("KbdLayerDescriptor", &rva, error) ||
      !CandidateAddresses(pe, rva, &candidates, &wide, error)) {
    return false;
  }
  // A 32-bit library's tables hold 32-bit pointers, or 64-bit ones in the WOW64 edition; the
  // wrong form reads the high halves (zero) as pointers and fails, so both forms are tried.
  struct Form {
    unsigned size;
    LayoutEdition edition;
  };
  std::vector<Form> forms;
  if (pe.machine == kMachineI386) {
    forms = wide ? std::vector<Form>{{8, LayoutEdition::kWow64}, {4, LayoutEdition::kX86}}
                 : std::vector<Form>{{4, LayoutEdition::kX86}, {8, LayoutEdition::kWow64}};
  } else {
    forms = {{8, pe.machine == kMachineIa64 ? LayoutEdition::kItanium : LayoutEdition::kX64}};
  }
  std::string first;
  for (uint64_t address : candidates) {
    size_t at = 0;
    if (!pe.OffsetOfAddress(address, &at)) {
      if (first.empty()) first = "KbdLayerDescriptor returns an address outside the file";
      continue;
    }
    for (const Form& form : forms) {
      std::string fault;
      if (ReadTablesAt(pe, at, form.size, out, &fault)) {
        out->edition = form.edition;
        return true;
      }
      if (first.empty()) first = fault;
    }
  }
  *out = LayoutTables();
  *error = first.empty() ? "no layout tables found" : first;
  return false;
}
