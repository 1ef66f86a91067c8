// A PE file as a reader of layout libraries needs it: the headers, the sections, the data
// directories and the exports. Every read is bounded by the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/byte_reader.h"

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineIa64 = 0x0200;
constexpr uint16_t kMachineArm64 = 0xAA64;

constexpr int kDirectoryExport = 0;
constexpr int kDirectoryResource = 2;
constexpr int kDirectoryRelocation = 5;

class PeImage {
 public:
  // The image must outlive this object.
  explicit PeImage(const std::vector<uint8_t>& data) : m_bytes(data) {}

  // False with *error saying what is wrong: not a PE file, or headers that lie outside it.
  bool Parse(std::string* error);

  // File offset of an RVA and the bytes of its section's raw data from there (within the file).
  bool Offset(uint64_t rva, size_t* offset, size_t* room = nullptr) const;
  // The same for an address as the library's own code and tables hold it (image base applied).
  bool OffsetOfAddress(uint64_t address, size_t* offset, size_t* room = nullptr) const;
  // The RVA of a named export; false with *error when there is none or it is forwarded.
  bool ExportRva(const char* name, uint32_t* rva, std::string* error) const;
  // RVA and size of a data directory; 0 when the image has none.
  uint32_t Directory(int index, uint32_t* size) const;
  // The image as the loader maps it, by RVA: the headers and each section's raw data in place,
  // the rest (uninitialised data) zero. False when the image is larger than any layout's.
  bool Map(std::vector<uint8_t>* out) const;

  const ByteReader& bytes() const { return m_bytes; }
  uint16_t machine() const { return m_machine; }
  uint64_t imageBase() const { return m_imageBase; }
  bool wide() const { return m_wide; }  // PE32+ (64-bit headers)

 private:
  struct Section {
    uint32_t address;  // RVA
    uint32_t rawSize;
    uint32_t rawOffset;
  };
  uint32_t m_imageSize = 0;
  ByteReader m_bytes;
  uint16_t m_machine = 0;
  uint64_t m_imageBase = 0;
  bool m_wide = false;
  std::vector<uint32_t> m_directories;  // RVA, size, RVA, size, ...
  std::vector<Section> m_sections;
};
