// Shared by the package tests: key blocks, layouts and blobs assembled field by field.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <zlib.h>

#include "package/blowfish.h"
#include "package/guard.h"

// A layout that leaves the stored block as it is: every move and the XOR run have length 0.
inline GuardLayout StillLayout(int32_t keyOffset) { return GuardLayout{keyOffset, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

// Text-like data that deflates well but not trivially.
inline std::vector<uint8_t> CompressibleBytes(size_t count, uint32_t seed) {
  static const char* const kWords[] = {"layout ", "keyboard ", "install ", "the ", "system ", "folder\r\n", "key "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes;
  while (bytes.size() < count) {
    const char* word = kWords[rng() % 7];
    bytes.insert(bytes.end(), word, word + strlen(word));
  }
  bytes.resize(count);
  return bytes;
}

inline std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& plain) {
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> packed(deflateBound(&stream, plain.size()));
  stream.next_in = const_cast<Bytef*>(plain.data());
  stream.avail_in = static_cast<uInt>(plain.size());
  stream.next_out = packed.data();
  stream.avail_out = static_cast<uInt>(packed.size());
  deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

inline uint32_t Crc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

// A blob before it is enciphered: the header fields and the bytes behind the header. A test
// sets fields independently to make one of them wrong.
struct BlobParts {
  uint32_t storedSize;  // kAutoSize: the padded length
  uint32_t plainSize;
  uint32_t packedSize;
  uint32_t plainCrc;
  uint32_t packedCrc;
  uint32_t extra;
  std::vector<uint8_t> packed;
  static constexpr uint32_t kAutoSize = 0xFFFFFFFF;
};

inline BlobParts PartsOf(const std::vector<uint8_t>& plain, uint32_t extra) {
  BlobParts parts;
  parts.packed = RawDeflate(plain);
  parts.storedSize = BlobParts::kAutoSize;
  parts.plainSize = static_cast<uint32_t>(plain.size());
  parts.packedSize = static_cast<uint32_t>(parts.packed.size());
  parts.plainCrc = Crc(plain);
  parts.packedCrc = Crc(parts.packed);
  parts.extra = extra;
  return parts;
}

inline void PutLittle32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> Seal(const uint8_t* key, const BlobParts& parts) {
  std::vector<uint8_t> blob;
  const size_t padded = (24 + parts.packed.size() + 7) / 8 * 8;
  PutLittle32(&blob, parts.storedSize == BlobParts::kAutoSize ? static_cast<uint32_t>(padded) : parts.storedSize);
  PutLittle32(&blob, parts.plainSize);
  PutLittle32(&blob, parts.packedSize);
  PutLittle32(&blob, parts.plainCrc);
  PutLittle32(&blob, parts.packedCrc);
  PutLittle32(&blob, parts.extra);
  blob.insert(blob.end(), parts.packed.begin(), parts.packed.end());
  blob.resize(padded, 0);
  std::unique_ptr<BlowfishContext> ctx(new BlowfishContext);
  BlowfishInit(ctx.get(), key, kKeyWindowLength);
  BlowfishEncipherBlocks(ctx.get(), blob.data(), blob.size());
  return blob;
}
