#include "engine/pe_checksum.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

bool ReadWhole(const std::string& path, Bytes* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
  fclose(f);
  return true;
}

uint32_t U32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
size_t ChecksumAt(const Bytes& b) { return U32(b, 0x3C) + 24 + 64; }

// The checksum computed another way: every word summed at full width, folded once at the end.
uint32_t Reference(Bytes image) {
  for (size_t i = 0; i < 4; ++i) image[ChecksumAt(image) + i] = 0;
  uint64_t total = 0;
  for (size_t i = 0; i < image.size(); i += 2) total += image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
  while (total >> 16) total = (total & 0xFFFF) + (total >> 16);
  return static_cast<uint32_t>(total + image.size());
}

// Libraries whose checksums their linkers wrote: ours (GNU ld), and the third-party ones when
// present (their maker's linker). Each checksum the linker wrote is found again, and after a
// change of bytes the renewed one is the reference's.
TEST(UpdatePeChecksum, AgreesWithLinkersAndRenewsAfterAChange) {
  std::vector<std::string> files;
  for (const char* edition : {"x86", "x64", "wow64"})
    files.push_back(std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_v0_r0_" + edition + ".dll");
  for (const char* file : {"ltenh/i386/ltenh.dll", "ltenh/amd64/ltenh.dll", "ltenh/ia64/ltenh.dll"})
    files.push_back(std::string(SETUP_THIRD_PARTY_LAYOUTS) + "/" + file);
  int read = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    Bytes image;
    if (!ReadWhole(file, &image)) continue;  // the third-party libraries may be absent
    ++read;
    const uint32_t linkers = U32(image, ChecksumAt(image));
    EXPECT_EQ(Reference(image), linkers);
    Bytes renewed = image;
    ASSERT_TRUE(UpdatePeChecksum(renewed.data(), static_cast<uint32_t>(renewed.size())));
    EXPECT_EQ(renewed, image);
    image[image.size() / 2] ^= 0x5A;  // as the customisation changes table bytes
    image.push_back(0x7F);            // an odd length: the last byte is a word of its own
    ASSERT_TRUE(UpdatePeChecksum(image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(U32(image, ChecksumAt(image)), Reference(image));
    EXPECT_NE(U32(image, ChecksumAt(image)), linkers);
  }
  EXPECT_GE(read, 3) << "the demo layout libraries are missing";
}

// Headers that do not lead to a checksum field inside the buffer: nothing is read or written
// outside it (the buffers are exact, for the sanitizers), nothing changes.
TEST(UpdatePeChecksum, LeavesWhatIsNoPeImageAlone) {
  Bytes pe(0x40 + 24 + 68, 0);
  pe[0] = 'M', pe[1] = 'Z', pe[0x3C] = 0x40;
  pe[0x40] = 'P', pe[0x41] = 'E', pe[0x40 + 24] = 0x0B, pe[0x40 + 25] = 0x01;
  const struct {
    const char* what;
    size_t at;
    uint8_t value;
    size_t size;
  } rows[] = {
      {"no MZ", 0, 'X', pe.size()},
      {"no PE signature", 0x41, 'X', pe.size()},
      {"another magic", 0x40 + 25, 0x03, pe.size()},
      {"header past the end", 0x3C, 0x41, pe.size()},
      {"header offset near 2^32", 0x3F, 0xFF, pe.size()},
      {"field cut off", 0, 'M', pe.size() - 1},
      {"too short for the offset", 0, 'M', 0x3F},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes image(pe.begin(), pe.begin() + row.size);
    if (row.at < image.size()) image[row.at] = row.value;
    const Bytes before = image;
    EXPECT_FALSE(UpdatePeChecksum(image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(image, before);
  }
  EXPECT_FALSE(UpdatePeChecksum(nullptr, 0));
  Bytes image = pe;  // the smallest image with its field: accepted
  ASSERT_TRUE(UpdatePeChecksum(image.data(), static_cast<uint32_t>(image.size())));
  EXPECT_EQ(U32(image, ChecksumAt(image)), Reference(pe));
}

}  // namespace
