#include "engine/pe_checksum.h"

namespace {

// The headers, as far as the checksum needs them:
//   +0x00     u16 LE  "MZ"
//   +0x3C     u32 LE  offset of the PE signature (e_lfanew)
//   e_lfanew  4 bytes "PE\0\0", then the 20-byte file header, then the optional header:
//     +0     u16 LE  magic: 0x10B (PE32) or 0x20B (PE32+)
//     +64    u32 LE  CheckSum (the same place in both forms)
constexpr uint32_t kNewHeaderOffset = 0x3C;
constexpr uint32_t kOptionalHeader = 4 + 20;
constexpr uint32_t kChecksumField = 64;

uint32_t ReadU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

// Offset of the CheckSum field, or 0 when the headers are not a PE image's inside the buffer.
uint32_t ChecksumOffset(const uint8_t* image, uint32_t size) {
  if (!image || size < kNewHeaderOffset + 4 || image[0] != 'M' || image[1] != 'Z') return 0;
  const uint32_t pe = ReadU32(image + kNewHeaderOffset);
  // Everything up to the end of the field must lie inside; compared so that nothing overflows.
  if (pe > size || size - pe < kOptionalHeader + kChecksumField + 4) return 0;
  if (image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 || image[pe + 3] != 0) return 0;
  const uint32_t magic = image[pe + kOptionalHeader] | image[pe + kOptionalHeader + 1] << 8;
  if (magic != 0x10B && magic != 0x20B) return 0;
  return pe + kOptionalHeader + kChecksumField;
}

}  // namespace

bool UpdatePeChecksum(uint8_t* image, uint32_t size) {
  const uint32_t field = ChecksumOffset(image, size);
  if (field == 0) return false;
  for (int i = 0; i < 4; ++i) image[field + i] = 0;
  uint32_t sum = 0;
  uint32_t at = 0;
  for (; size - at >= 2; at += 2) {
    sum += static_cast<uint32_t>(image[at]) | static_cast<uint32_t>(image[at + 1]) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (at < size) {
    sum += image[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  const uint32_t checksum = sum + size;
  for (int i = 0; i < 4; ++i) image[field + i] = static_cast<uint8_t>(checksum >> (8 * i));
  return true;
}
