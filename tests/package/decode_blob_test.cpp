#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "package/blob_writer.h"
#include "package/guard.h"
#include "tests/package/package_test_util.h"

namespace {

constexpr int32_t kKeyOffset = 200;
constexpr uint32_t kExtra = 0x5EED1234;
constexpr uint32_t kUntouched = 0xA5A5A5A5;

class DecodeBlob : public ::testing::Test {
 protected:
  void SetUp() override {
    m_stored = RandomBytes(kKeyBlockLength, 3);
    ASSERT_TRUE(m_guard.Load(m_stored.data(), kKeyBlockLength));
    m_key = m_guard.Key();
  }

  std::vector<uint8_t> Encode(const std::vector<uint8_t>& plain) const {
    std::vector<uint8_t> blob;
    EXPECT_TRUE(EncodeBlob(m_key, kKeyWindowLength, plain.data(), plain.size(), kExtra, &blob));
    return blob;
  }

  // Decodes a heap copy of exactly `size` bytes, so that a read past it is caught under ASan,
  // and checks that a failure leaves the blob, size and extra as they were.
  bool Decode(const CGuard& guard, const std::vector<uint8_t>& blob, uint32_t size, std::vector<uint8_t>* plain,
              uint32_t* extra) const {
    std::vector<uint8_t> copy(blob.begin(), blob.begin() + size);
    const std::vector<uint8_t> before = copy;
    uint32_t inOut = size;
    if (extra != nullptr) *extra = kUntouched;
    uint8_t* out = guard.DecodeBlob(size == 0 ? blob.data() : copy.data(), inOut, extra);
    EXPECT_EQ(copy, before);
    if (out == nullptr) {
      EXPECT_EQ(inOut, size);
      if (extra != nullptr) {
        EXPECT_EQ(*extra, kUntouched);
      }
      return false;
    }
    plain->assign(out, out + inOut);
    // Room for a 16-bit terminator after text of an even size.
    out[(inOut & ~1u)] = 0;
    out[(inOut & ~1u) + 1] = 0;
    free(out);
    return true;
  }

  bool Decode(const std::vector<uint8_t>& blob, std::vector<uint8_t>* plain) const {
    uint32_t extra = 0;
    const bool ok = Decode(m_guard, blob, static_cast<uint32_t>(blob.size()), plain, &extra);
    if (ok) {
      EXPECT_EQ(extra, kExtra);
    }
    return ok;
  }

  std::vector<uint8_t> m_stored;
  CGuard m_guard{StillLayout(kKeyOffset)};
  const uint8_t* m_key = nullptr;
};

TEST_F(DecodeBlob, RoundTrips) {
  struct Row {
    const char* name;
    std::vector<uint8_t> plain;
  };
  const Row kRows[] = {
      {"empty", {}},
      {"one byte", {0x41}},
      {"seven bytes", RandomBytes(7, 4)},
      {"one cipher block", RandomBytes(8, 5)},
      {"nine bytes", RandomBytes(9, 6)},
      {"64 KiB of text", CompressibleBytes(64 * 1024, 7)},
      {"1 MiB of text", CompressibleBytes(1024 * 1024, 8)},
      {"100 KiB random", RandomBytes(100 * 1000 + 3, 9)},
      {"1 MiB of zeros, near the largest ratio", std::vector<uint8_t>(1024 * 1024, 0)},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::vector<uint8_t> blob = Encode(row.plain);
    EXPECT_EQ(blob.size() % 8, 0u);
    std::vector<uint8_t> plain{1, 2, 3};
    ASSERT_TRUE(Decode(blob, &plain));
    EXPECT_EQ(plain, row.plain);

    uint32_t size = static_cast<uint32_t>(blob.size());
    uint8_t* out = m_guard.DecodeBlob(blob.data(), size, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(size, row.plain.size());
    free(out);
  }
}

TEST_F(DecodeBlob, WriterLaysOutHeaderAndPadding) {
  const std::vector<uint8_t> plain = CompressibleBytes(1000, 10);
  std::vector<uint8_t> blob = Encode(plain);
  BlobParts expected = PartsOf(plain, kExtra);
  expected.storedSize = static_cast<uint32_t>(blob.size());
  EXPECT_EQ(blob, Seal(m_key, expected));  // zero padding included

  std::vector<uint8_t> unused;
  EXPECT_FALSE(EncodeBlob(m_key, 0, plain.data(), plain.size(), 0, &unused));
  EXPECT_FALSE(EncodeBlob(nullptr, kKeyWindowLength, plain.data(), plain.size(), 0, &unused));
}

TEST_F(DecodeBlob, RefusesDamagedBlobs) {
  const std::vector<uint8_t> plain = CompressibleBytes(5000, 11);
  struct Row {
    const char* name;
    std::function<void(BlobParts*)> damage;
    bool decodes;
  };
  const Row kRows[] = {
      {"undamaged", [](BlobParts*) {}, true},
      {"bytes after the stream are ignored",
       [](BlobParts* p) {
         p->packed.insert(p->packed.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x00});
         p->packedSize += 5;
         p->packedCrc = Crc(p->packed);
       },
       true},
      {"stored size differs", [](BlobParts* p) { p->storedSize = static_cast<uint32_t>(24 + p->packed.size() + 8); }, false},
      {"packed CRC differs", [](BlobParts* p) { p->packedCrc ^= 1; }, false},
      {"packed byte flipped", [](BlobParts* p) { p->packed[p->packed.size() / 2] ^= 0x10; }, false},
      {"packed size one past the buffer", [](BlobParts* p) { p->packedSize = static_cast<uint32_t>((24 + p->packed.size() + 7) / 8 * 8 - 24 + 1); }, false},
      {"packed size wraps 24 + size", [](BlobParts* p) { p->packedSize = 0xFFFFFFF0; }, false},
      {"packed size all ones", [](BlobParts* p) { p->packedSize = 0xFFFFFFFF; }, false},
      {"no packed data", [](BlobParts* p) { p->packedSize = 0; p->packedCrc = 0; }, false},
      {"plain size one too small", [](BlobParts* p) { p->plainSize -= 1; }, false},
      {"plain size one too large", [](BlobParts* p) { p->plainSize += 1; }, false},
      {"plain size beyond any stream of this length", [](BlobParts* p) { p->plainSize = p->packedSize * 1032 + 1; }, false},
      {"plain size all ones", [](BlobParts* p) { p->plainSize = 0xFFFFFFFF; }, false},
      {"plain CRC differs", [](BlobParts* p) { p->plainCrc ^= 0x80000000; }, false},
      {"stream truncated",
       [](BlobParts* p) {
         p->packed.resize(p->packed.size() - 3);
         p->packedSize = static_cast<uint32_t>(p->packed.size());
         p->packedCrc = Crc(p->packed);
       },
       false},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    BlobParts parts = PartsOf(plain, kExtra);
    row.damage(&parts);
    std::vector<uint8_t> decoded;
    EXPECT_EQ(Decode(Seal(m_key, parts), &decoded), row.decodes);
    if (row.decodes) {
      EXPECT_EQ(decoded, plain);
    }
  }
}

TEST_F(DecodeBlob, RefusesWrongSizes) {
  const std::vector<uint8_t> blob = Encode(CompressibleBytes(3000, 12));
  const uint32_t whole = static_cast<uint32_t>(blob.size());
  for (uint32_t size : {0u, 1u, 8u, 16u, 23u, 24u, whole - 8, whole - 1, whole - 7}) {
    SCOPED_TRACE("size " + std::to_string(size));
    std::vector<uint8_t> plain;
    uint32_t extra = 0;
    EXPECT_FALSE(Decode(m_guard, blob, size, &plain, &extra));
  }
  // Named one block longer than stored: the header still names the true size.
  std::vector<uint8_t> longer = blob;
  longer.resize(blob.size() + 8, 0);
  std::vector<uint8_t> plain;
  EXPECT_FALSE(Decode(longer, &plain));
}

TEST_F(DecodeBlob, NeedsTheKey) {
  const std::vector<uint8_t> text = CompressibleBytes(2000, 13);
  const std::vector<uint8_t> blob = Encode(text);
  std::vector<uint8_t> plain;
  uint32_t extra = 0;

  CGuard unloaded(StillLayout(kKeyOffset));
  EXPECT_FALSE(Decode(unloaded, blob, static_cast<uint32_t>(blob.size()), &plain, &extra));
  CGuard outside(StillLayout(kKeyBlockLength - kKeyWindowLength + 1));
  ASSERT_TRUE(outside.Load(m_stored.data(), kKeyBlockLength));
  EXPECT_FALSE(Decode(outside, blob, static_cast<uint32_t>(blob.size()), &plain, &extra));

  // Only the first 72 bytes of the key window make the cipher key.
  struct Row {
    const char* name;
    int changed;  // byte of the key window that differs
    bool decodes;
  };
  const Row kRows[] = {{"byte 72", 72, true}, {"last byte", kKeyWindowLength - 1, true}, {"byte 71", 71, false}, {"byte 0", 0, false}};
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> other = m_stored;
    other[kKeyOffset + row.changed] ^= 0x5A;
    CGuard guard(StillLayout(kKeyOffset));
    ASSERT_TRUE(guard.Load(other.data(), kKeyBlockLength));
    EXPECT_EQ(Decode(guard, blob, static_cast<uint32_t>(blob.size()), &plain, &extra), row.decodes);
    if (row.decodes) {
      EXPECT_EQ(plain, text);
    }
  }

  m_guard.Wipe();
  EXPECT_FALSE(Decode(m_guard, blob, static_cast<uint32_t>(blob.size()), &plain, &extra));
}

}  // namespace
