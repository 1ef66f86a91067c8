#include "package/crc32.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  constexpr uint32_t kBase = 65521;
  constexpr size_t kRun = 5552;  // the longest run whose sums cannot overflow 32 bits
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (size > 0) {
    const size_t run = size < kRun ? size : kRun;
    for (size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= kBase;
    b %= kBase;
    data += run;
    size -= run;
  }
  return b << 16 | a;
}
