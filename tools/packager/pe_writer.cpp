#include "tools/packager/pe_writer.h"

#include <algorithm>
#include <cstring>

#include "engine/pe_checksum.h"

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kPeOffset = 0x40;  // right after the DOS header: no DOS program
constexpr uint16_t kSubsystemNative = 1;

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

class Out {
 public:
  void At(size_t offset) {
    m_at = offset;
    if (m_bytes.size() < offset) m_bytes.resize(offset);
  }
  void Bytes(const void* data, size_t size) {
    if (m_bytes.size() < m_at + size) m_bytes.resize(m_at + size);
    memcpy(&m_bytes[m_at], data, size);
    m_at += size;
  }
  void U16(unsigned value) { Le(value, 2); }
  void U32(uint64_t value) { Le(value, 4); }
  void U64(uint64_t value) { Le(value, 8); }
  std::vector<uint8_t>& bytes() { return m_bytes; }

 private:
  void Le(uint64_t value, int size) {
    uint8_t b[8];
    for (int i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
    Bytes(b, static_cast<size_t>(size));
  }
  std::vector<uint8_t> m_bytes;
  size_t m_at = 0;
};

// Blocks of one 4 KiB page each: the page's RVA, the block's size, then 16-bit entries {type in
// the top 4 bits, offset in the page}, padded to 4 bytes with an entry of type 0.
std::vector<uint8_t> RelocationSection(std::vector<PeRelocation> relocations) {
  std::sort(relocations.begin(), relocations.end(),
            [](const PeRelocation& a, const PeRelocation& b) { return a.rva < b.rva; });
  Out out;
  for (size_t i = 0; i < relocations.size();) {
    const uint32_t page = relocations[i].rva & ~0xFFFu;
    size_t end = i;
    while (end < relocations.size() && (relocations[end].rva & ~0xFFFu) == page) ++end;
    const size_t entries = (end - i + 1) & ~static_cast<size_t>(1);
    out.U32(page);
    out.U32(8 + 2 * entries);
    for (size_t k = i; k < end; ++k)
      out.U16(static_cast<unsigned>(relocations[k].type) << 12 | (relocations[k].rva & 0xFFF));
    if (entries != end - i) out.U16(0);
    i = end;
  }
  return out.bytes();
}

}  // namespace

uint32_t SectionRva(const std::vector<PeSection>& sections, size_t index) {
  uint32_t rva = kSectionAlignment;
  for (size_t i = 0; i < index; ++i)
    rva += AlignUp(static_cast<uint32_t>(std::max<size_t>(sections[i].data.size(), 1)), kSectionAlignment);
  return rva;
}

// The headers: the DOS header ("MZ", e_lfanew at 0x3C), "PE\0\0", the file header (machine,
// section count, timestamp, symbols, optional header size, characteristics), the optional
// header (PE32 or PE32+: sizes, entry point, bases, alignments, versions, image and header
// sizes, checksum, subsystem, DLL characteristics, stack and heap, 16 data directories), then
// 40 bytes a section {name, virtual size, RVA, raw size, raw offset, 12 zero bytes,
// characteristics}.
std::vector<uint8_t> WritePe(PeParts parts) {
  if (!parts.relocations.empty()) {
    parts.directories[5][0] = SectionRva(parts.sections, parts.sections.size());
    parts.sections.push_back({".reloc", kSectionRelocations, RelocationSection(parts.relocations)});
    parts.directories[5][1] = static_cast<uint32_t>(parts.sections.back().data.size());
  }
  const size_t sections = parts.sections.size();
  const uint32_t optionalSize = parts.wide ? 240 : 224;
  const uint32_t headers =
      AlignUp(kPeOffset + 24 + optionalSize + 40 * static_cast<uint32_t>(sections), kFileAlignment);
  uint32_t code = 0, data = 0, raw = headers;
  std::vector<uint32_t> rawOffsets;
  for (const PeSection& section : parts.sections) {
    const uint32_t size = AlignUp(static_cast<uint32_t>(section.data.size()), kFileAlignment);
    (section.characteristics & 0x20 ? code : data) += size;
    rawOffsets.push_back(raw);
    raw += size;
  }
  const uint32_t imageSize = SectionRva(parts.sections, sections);

  Out out;
  out.U16('M' | 'Z' << 8);
  out.At(0x3C);
  out.U32(kPeOffset);
  out.At(kPeOffset);
  out.U32(0x4550);
  out.U16(parts.machine);
  out.U16(static_cast<unsigned>(sections));
  out.U32(0);  // timestamp: the same input gives the same bytes
  out.U32(0);
  out.U32(0);
  out.U16(optionalSize);
  // Executable, DLL; 32-bit machine or large-address aware.
  out.U16(0x2002 | (parts.wide ? 0x0020 : 0x0100));
  out.U16(parts.wide ? 0x20B : 0x10B);
  out.U16(0x0001);  // linker version 1.0
  out.U32(code);
  out.U32(data);
  out.U32(0);
  out.U32(0);  // no entry point: nothing runs when the library loads
  out.U32(SectionRva(parts.sections, 0));
  if (parts.wide) {
    out.U64(parts.imageBase);
  } else {
    out.U32(sections > 1 ? SectionRva(parts.sections, 1) : 0);
    out.U32(parts.imageBase);
  }
  out.U32(kSectionAlignment);
  out.U32(kFileAlignment);
  for (int i = 0; i < 3; ++i) {  // operating system, image (0.0 is ours) and subsystem versions
    out.U16(i == 1 ? 0 : parts.systemVersion[0]);
    out.U16(i == 1 ? 0 : parts.systemVersion[1]);
  }
  out.U32(0);
  out.U32(imageSize);
  out.U32(headers);
  out.U32(0);  // checksum, below
  out.U16(kSubsystemNative);
  out.U16(parts.dllCharacteristics);
  for (uint64_t value : {0x40000u, 0x1000u, 0x100000u, 0x1000u}) parts.wide ? out.U64(value) : out.U32(value);
  out.U32(0);
  out.U32(16);
  for (const auto& directory : parts.directories) {
    out.U32(directory[0]);
    out.U32(directory[1]);
  }
  for (size_t i = 0; i < sections; ++i) {
    const PeSection& section = parts.sections[i];
    char name[8] = {};  // not terminated when 8 long
    memcpy(name, section.name, std::min(strlen(section.name), sizeof name));
    out.Bytes(name, sizeof name);
    out.U32(section.data.size());
    out.U32(SectionRva(parts.sections, i));
    out.U32(AlignUp(static_cast<uint32_t>(section.data.size()), kFileAlignment));
    out.U32(rawOffsets[i]);
    for (int k = 0; k < 3; ++k) out.U32(0);
    out.U32(section.characteristics);
  }
  for (size_t i = 0; i < sections; ++i) {
    out.At(rawOffsets[i]);
    out.Bytes(parts.sections[i].data.data(), parts.sections[i].data.size());
  }
  out.At(raw);
  std::vector<uint8_t>& bytes = out.bytes();
  UpdatePeChecksum(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return bytes;
}
