// Our CRC-32 and Adler-32 against zlib's, which the packager uses to make the blobs: chained
// calls, and buffers long enough for Adler-32's deferred reductions.
#include "package/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

TEST(Checksums, MatchZlib) {
  std::vector<uint8_t> data(3 * 5552 + 17);
  uint32_t x = 12345;
  for (uint8_t& byte : data) byte = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 23);
  for (size_t size : {size_t(1), size_t(5552), size_t(5553), data.size()}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(Crc32(0, data.data(), size), crc32(0, data.data(), static_cast<uInt>(size)));
    EXPECT_EQ(Adler32(1, data.data(), size), adler32(1, data.data(), static_cast<uInt>(size)));
    const uint32_t first = Crc32(0, data.data(), size / 2);
    EXPECT_EQ(Crc32(first, data.data() + size / 2, size - size / 2), Crc32(0, data.data(), size));
  }
}
