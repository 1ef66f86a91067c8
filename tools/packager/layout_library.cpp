#include "tools/packager/layout_library.h"

#include "engine/pe_checksum.h"
#include "tools/packager/layout_tables_reader.h"
#include "tools/packager/pe_image.h"
#include "tools/packager/resource_reader.h"

namespace {

constexpr uint8_t kVkDecimal = 0x6E;

// Walks are bounded so that a damaged file cannot keep us going.
constexpr unsigned kMaxListRecords = 256;
constexpr unsigned kMaxCharTables = 64;
constexpr unsigned kMaxCharRecords = 1024;

// The layout tables (KBDTABLES) at a file offset, with pointers of `size` bytes:
//   pointers 0..6: character modifiers, character tables, dead keys, key names, extended key
//   names, dead key names, the scan-code table; byte bMaxVSCtoVK at 7 pointers; the E0 and E1
//   lists at 8 and 9 pointers.
// Character tables: records of a pointer, the column count and the record size (2 pointers
// each), up to a null pointer; each points to records of {virtual key, attributes, characters},
// up to a virtual key 0. E0 and E1 lists: 4-byte records up to a scan code 0.
bool ReadTablesAt(const PeImage& pe, size_t at, unsigned size, LayoutTables* out, std::string* error) {
  const ByteReader& b = pe.bytes();
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

// ARM64: adrp x0, page (1 immlo:2 10000 immhi:19 Rd:5) and add x0, x0, #offset (sf=1, 0x91 with
// shift 0, imm12 in bits 10-21); the page is the instruction's own 4 KiB page plus immhi:immlo
// pages, sign-extended.
bool Arm64Address(uint32_t adrp, uint32_t add, uint64_t pc, uint64_t* address) {
  if ((adrp & 0x9F00001Fu) != 0x90000000u || (add & 0xFFC003FFu) != 0x91000000u) return false;
  int64_t pages = static_cast<int64_t>(((adrp >> 5) & 0x7FFFF) << 2 | ((adrp >> 29) & 3));
  if (pages & (1 << 20)) pages -= 1 << 21;
  *address = (pc & ~0xFFFull) + static_cast<uint64_t>(pages * 4096) + ((add >> 10) & 0xFFF);
  return true;
}

// Addresses where the tables may start, from the code of KbdLayerDescriptor.
//   x86:     B8 imm32 [31 D2 | 33 D2 | 99] C3    mov eax, tables (EDX zeroed: a 64-bit result)
//   x64:     48 8D 05 rel32 C3 (lea rax, [rip + rel32]) or 48 B8 imm64 C3
//   ARM64:   adrp x0, page; add x0, x0, #offset; ret (D65F03C0)
//   Itanium: the export is a descriptor {code, gp}; the code adds a constant to gp, which is
//            the tables' address or the address of a slot that holds it.
bool CandidateAddresses(const PeImage& pe, uint32_t rva, std::vector<uint64_t>* out, bool* wide, std::string* error) {
  const ByteReader& b = pe.bytes();
  size_t code = 0;
  *wide = false;
  if (!pe.Offset(rva, &code)) {
    *error = "KbdLayerDescriptor lies outside the file";
    return false;
  }
  uint8_t op[16] = {};
  for (size_t i = 0; i < sizeof op; ++i) b.U8(code + i, &op[i]);
  const std::string unknown = "KbdLayerDescriptor does not simply return the address of the tables";
  *error = unknown;
  if (pe.machine() == kMachineI386) {
    uint32_t imm = 0;
    if (op[0] != 0xB8 || !b.U32(code + 1, &imm)) return false;
    *wide = (op[5] == 0x31 || op[5] == 0x33) && op[6] == 0xD2 ? op[7] == 0xC3 : op[5] == 0x99 && op[6] == 0xC3;
    if (!*wide && op[5] != 0xC3) return false;
    out->push_back(imm);
    return true;
  }
  if (pe.machine() == kMachineAmd64) {
    uint32_t rel = 0;
    uint64_t imm = 0;
    if (op[0] == 0x48 && op[1] == 0x8D && op[2] == 0x05 && b.U32(code + 3, &rel) && op[7] == 0xC3) {
      out->push_back(pe.imageBase() + rva + 7 + static_cast<int64_t>(static_cast<int32_t>(rel)));
      return true;
    }
    if (op[0] == 0x48 && op[1] == 0xB8 && b.U64(code + 2, &imm) && op[10] == 0xC3) {
      out->push_back(imm);
      return true;
    }
    return false;
  }
  if (pe.machine() == kMachineArm64) {
    uint32_t adrp = 0, add = 0, ret = 0;
    uint64_t address = 0;
    if (!b.U32(code, &adrp) || !b.U32(code + 4, &add) || !b.U32(code + 8, &ret) || ret != 0xD65F03C0u ||
        !Arm64Address(adrp, add, pe.imageBase() + rva, &address)) {
      return false;
    }
    out->push_back(address);
    return true;
  }
  if (pe.machine() == kMachineIa64) {
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
    return false;
  }
  *error = "a library for a processor other than x86, x64, ARM64 or Itanium";
  return false;
}

// Where the tables are and how wide their pointers: *address, *pointerSize and the offsets in *out.
bool LocateTables(const PeImage& pe, LayoutTables* out, uint64_t* tables, unsigned* pointerSize, std::string* error) {
  uint32_t rva = 0;
  std::vector<uint64_t> candidates;
  bool wide = false;
  if (!pe.ExportRva("KbdLayerDescriptor", &rva, error) || !CandidateAddresses(pe, rva, &candidates, &wide, error)) {
    return false;
  }
  // A 32-bit library's tables hold 32-bit pointers, or 64-bit ones in the WOW64 edition; the
  // wrong form reads the high halves (zero) as pointers and fails, so both forms are tried.
  struct Form {
    unsigned size;
    LayoutEdition edition;
  };
  std::vector<Form> forms;
  if (pe.machine() == kMachineI386) {
    forms = wide ? std::vector<Form>{{8, LayoutEdition::kWow64}, {4, LayoutEdition::kX86}}
                 : std::vector<Form>{{4, LayoutEdition::kX86}, {8, LayoutEdition::kWow64}};
  } else {
    forms = {{8, pe.machine() == kMachineIa64   ? LayoutEdition::kItanium
                 : pe.machine() == kMachineArm64 ? LayoutEdition::kArm64
                                                 : LayoutEdition::kX64}};
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
        *pointerSize = form.size;
        *tables = address;
        return true;
      }
      if (first.empty()) first = fault;
    }
  }
  *out = LayoutTables();
  *error = first.empty() ? "no layout tables found" : first;
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
    case LayoutEdition::kArm64:
      return "ARM64";
  }
  return "?";
}

bool ReadLayoutTables(const std::vector<uint8_t>& image, LayoutTables* out, std::string* error) {
  *out = LayoutTables();
  PeImage pe(image);
  uint64_t address = 0;
  unsigned pointerSize = 0;
  return pe.Parse(error) && LocateTables(pe, out, &address, &pointerSize, error);
}

bool ReadLayoutLibrary(const std::vector<uint8_t>& image, LayoutLibrary* out, std::string* error) {
  *out = LayoutLibrary();
  PeImage pe(image);
  LayoutTables offsets;
  uint64_t address = 0;
  std::vector<uint8_t> mapped;
  if (!pe.Parse(error) || !LocateTables(pe, &offsets, &address, &out->pointerSize, error)) return false;
  if (!pe.Map(&mapped)) {
    *error = "the image is larger than any layout library";
    return false;
  }
  if (!ReadLayoutModel(mapped, pe.imageBase(), address, out->pointerSize, &out->tables, error) ||
      !ReadLayoutResources(pe, &out->resources, error)) {
    return false;
  }
  out->edition = offsets.edition;
  out->machine = pe.machine();
  std::vector<uint8_t> renewed = image;
  out->checksumValid = renewed.size() <= UINT32_MAX &&
                       UpdatePeChecksum(renewed.data(), static_cast<uint32_t>(renewed.size())) && renewed == image;
  return true;
}
