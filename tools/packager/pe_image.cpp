#include "tools/packager/pe_image.h"

#include <algorithm>
#include <cstring>

namespace {

// Walks are bounded so that a damaged file cannot keep us going.
constexpr uint32_t kMaxExports = 65536;
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kMaxImageSize = 16 << 20;

}  // namespace

// The parts of a PE file read here:
//   +0x3C  u32  offset of "PE\0\0"; after it the file header: +4 machine, +6 section count,
//               +20 size of the optional header; the optional header at +24: magic 0x10B
//               (PE32: image base u32 at +28, data directories at +96) or 0x20B (PE32+: image
//               base u64 at +24, directories at +112), in both the image's size in memory
//               (u32) at +56 and the directory count 4 bytes before the directories, each an
//               RVA and a size (u32 each); the section headers (40 bytes: +12 RVA, +16 raw
//               size, +20 raw offset) follow the optional header.
bool PeImage::Parse(std::string* error) {
  const ByteReader& b = m_bytes;
  uint8_t m = 0, z = 0;
  uint32_t pe = 0, signature = 0;
  if (!b.U8(0, &m) || !b.U8(1, &z) || m != 'M' || z != 'Z' || !b.U32(0x3C, &pe) || !b.U32(pe, &signature) ||
      signature != 0x4550) {
    *error = "not a Windows library (no PE header)";
    return false;
  }
  *error = "damaged PE header";
  uint16_t sections = 0, optionalSize = 0, magic = 0;
  const size_t optional = static_cast<size_t>(pe) + 24;
  if (!b.U16(pe + 4, &m_machine) || !b.U16(pe + 6, &sections) || !b.U16(pe + 20, &optionalSize) ||
      !b.U16(optional, &magic) || (magic != 0x10B && magic != 0x20B)) {
    return false;
  }
  m_wide = magic == 0x20B;
  size_t directories = 0;
  if (!m_wide) {
    uint32_t base32 = 0;
    if (!b.U32(optional + 28, &base32)) return false;
    m_imageBase = base32;
    directories = optional + 96;
  } else {
    if (!b.U64(optional + 24, &m_imageBase)) return false;
    directories = optional + 112;
  }
  uint32_t directoryCount = 0;
  if (!b.U32(optional + 56, &m_imageSize) || !b.U32(directories - 4, &directoryCount) || directoryCount < 1 ||
      sections > kMaxSections) {
    return false;
  }
  for (uint32_t i = 0; i < std::min(directoryCount, kMaxDirectories); ++i) {
    uint32_t rva = 0, size = 0;
    if (!b.U32(directories + 8 * i, &rva) || !b.U32(directories + 8 * i + 4, &size)) return false;
    m_directories.push_back(rva);
    m_directories.push_back(size);
  }
  for (size_t i = 0, at = optional + optionalSize; i < sections; ++i, at += 40) {
    Section section = {};
    if (!b.U32(at + 12, &section.address) || !b.U32(at + 16, &section.rawSize) || !b.U32(at + 20, &section.rawOffset)) {
      return false;
    }
    m_sections.push_back(section);
  }
  error->clear();
  return true;
}

bool PeImage::Offset(uint64_t rva, size_t* offset, size_t* room) const {
  for (const Section& s : m_sections) {
    if (rva < s.address || rva - s.address >= s.rawSize) continue;
    const uint64_t at = static_cast<uint64_t>(s.rawOffset) + (rva - s.address);
    if (at >= m_bytes.size()) return false;
    const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(s.rawOffset) + s.rawSize, m_bytes.size());
    *offset = static_cast<size_t>(at);
    if (room) *room = static_cast<size_t>(end - at);
    return true;
  }
  return false;
}

bool PeImage::OffsetOfAddress(uint64_t address, size_t* offset, size_t* room) const {
  return address >= m_imageBase && Offset(address - m_imageBase, offset, room);
}

bool PeImage::Map(std::vector<uint8_t>* out) const {
  if (m_imageSize > kMaxImageSize) return false;
  out->assign(m_imageSize, 0);
  for (const Section& s : m_sections) {
    if (s.address >= m_imageSize || s.rawOffset >= m_bytes.size()) continue;
    const size_t size = std::min<size_t>({s.rawSize, m_bytes.size() - s.rawOffset, m_imageSize - s.address});
    std::copy(m_bytes.At(s.rawOffset), m_bytes.At(s.rawOffset) + size, out->begin() + s.address);
  }
  return true;
}

uint32_t PeImage::Directory(int index, uint32_t* size) const {
  const size_t at = 2 * static_cast<size_t>(index);
  *size = at + 1 < m_directories.size() ? m_directories[at + 1] : 0;
  return at < m_directories.size() ? m_directories[at] : 0;
}

// Export directory: +20 function count, +24 name count, +28 function RVAs, +32 name RVAs,
// +36 name ordinals (u16).
bool PeImage::ExportRva(const char* name, uint32_t* rva, std::string* error) const {
  const ByteReader& b = m_bytes;
  uint32_t exportSize = 0;
  const uint32_t exportRva = Directory(kDirectoryExport, &exportSize);
  size_t directory = 0;
  uint32_t functions = 0, names = 0, functionTable = 0, nameTable = 0, ordinalTable = 0;
  if (exportRva == 0 || !Offset(exportRva, &directory) || !b.U32(directory + 20, &functions) ||
      !b.U32(directory + 24, &names) || !b.U32(directory + 28, &functionTable) || !b.U32(directory + 32, &nameTable) ||
      !b.U32(directory + 36, &ordinalTable) || names > kMaxExports || functions > kMaxExports) {
    *error = "exports nothing (no export directory)";
    return false;
  }
  const size_t length = strlen(name);
  for (uint32_t i = 0; i < names; ++i) {
    size_t at = 0, room = 0, entry = 0, ordinalAt = 0, functionAt = 0;
    uint32_t nameRva = 0;
    uint16_t ordinal = 0;
    if (!Offset(nameTable + 4ull * i, &entry) || !b.U32(entry, &nameRva) || !Offset(nameRva, &at, &room) ||
        room < length + 1 || memcmp(b.At(at), name, length + 1) != 0) {
      continue;
    }
    if (!Offset(ordinalTable + 2ull * i, &ordinalAt) || !b.U16(ordinalAt, &ordinal) || ordinal >= functions ||
        !Offset(functionTable + 4ull * ordinal, &functionAt) || !b.U32(functionAt, rva)) {
      *error = "damaged PE header";
      return false;
    }
    if (*rva >= exportRva && *rva - exportRva < exportSize) {
      *error = std::string(name) + " is forwarded to another library";
      return false;
    }
    return true;
  }
  *error = std::string("does not export ") + name + " (not a keyboard layout library)";
  return false;
}
