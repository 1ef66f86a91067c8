// Blob decoding on damaged and foreign input. The first byte picks the mode:
//   0  a valid blob with fuzz bytes XORed into its stored (enciphered) form
//   1  the same, but XORed into the deciphered form and enciphered again, so that header fields
//      and the packed stream are damaged one by one; bit 2 of the mode byte repairs the packed
//      CRC afterwards so that the damage reaches inflate
//   2  the rest of the input as a blob
//   3  a key block rearranged under a fuzzed layout, then the valid blob
// In modes 0 and 1 the second byte moves the claimed size (as a signed byte), and the buffer
// handed over is exactly that long. A success must agree with the header it came from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "package/blob_writer.h"
#include "package/blowfish.h"
#include "package/guard.h"

namespace {

constexpr int32_t kKeyOffset = 300;
constexpr uint32_t kExtra = 0x0BADCAFE;

uint32_t ReadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void WriteLittle32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Fixture {
  std::vector<uint8_t> keyBlock;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> blob;
  CGuard guard{GuardLayout{kKeyOffset, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
  BlowfishContext ctx;

  Fixture() {
    uint32_t state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    keyBlock.resize(kKeyBlockLength);
    for (uint8_t& b : keyBlock) b = static_cast<uint8_t>(next() >> 16);
    static const char kText[] = "Installs the layout and registers it for the input language. ";
    for (int i = 0; i < 40; ++i) payload.insert(payload.end(), kText, kText + sizeof kText - 1);
    for (int i = 0; i < 200; ++i) payload.push_back(static_cast<uint8_t>(next() >> 16));
    if (!guard.Load(keyBlock.data(), kKeyBlockLength)) abort();
    if (!EncodeBlob(guard.Key(), kKeyWindowLength, payload.data(), payload.size(), kExtra, &blob)) abort();
    BlowfishInit(&ctx, guard.Key(), kKeyWindowLength);
  }
};

const Fixture& Shared() {
  static const Fixture* fixture = new Fixture;
  return *fixture;
}

// Decodes an exact-size heap copy; on success checks the result against the blob's own header.
void DecodeAndCheck(const CGuard& guard, const std::vector<uint8_t>& bytes, bool mustMatchPayload) {
  const Fixture& f = Shared();
  const uint32_t claimed = static_cast<uint32_t>(bytes.size());
  uint8_t* copy = static_cast<uint8_t*>(malloc(bytes.empty() ? 1 : bytes.size()));
  if (copy == nullptr) abort();
  if (!bytes.empty()) memcpy(copy, bytes.data(), bytes.size());

  uint32_t size = claimed;
  uint32_t extra = 0x11111111;
  uint8_t* plain = guard.DecodeBlob(copy, size, (claimed & 1) != 0 ? nullptr : &extra);
  if (memcmp(copy, bytes.data(), bytes.size()) != 0) abort();  // the blob is read only
  if (plain == nullptr) {
    if (size != claimed || extra != 0x11111111 || mustMatchPayload) abort();
    free(copy);
    return;
  }

  // Only whole cipher blocks carrying their own size, with plain data matching its CRC.
  if (claimed % 8 != 0 || claimed < 24) abort();
  std::vector<uint8_t> clear(bytes);
  BlowfishDecipherBlocks(&f.ctx, clear.data(), clear.size());
  if (ReadLittle32(&clear[0]) != claimed || ReadLittle32(&clear[4]) != size) abort();
  if (ReadLittle32(&clear[8]) > claimed - 24) abort();
  if (crc32(0, plain, size) != ReadLittle32(&clear[12])) abort();
  if ((claimed & 1) == 0 && extra != ReadLittle32(&clear[20])) abort();
  if (mustMatchPayload && (size != f.payload.size() || memcmp(plain, f.payload.data(), size) != 0)) abort();
  plain[size & ~1u] = 0;  // the buffer has room for a 16-bit terminator
  plain[(size & ~1u) + 1] = 0;
  free(plain);
  free(copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 1 << 16) return 0;
  const Fixture& f = Shared();
  const int mode = data[0] & 3;

  if (mode == 2) {
    DecodeAndCheck(f.guard, std::vector<uint8_t>(data + 1, data + size), false);
    return 0;
  }

  if (mode == 3) {
    int32_t fields[10] = {};
    memcpy(fields, data + 1, size - 1 < sizeof fields ? size - 1 : sizeof fields);
    const GuardLayout layout{fields[0], fields[1], fields[2], fields[3], fields[4],
                             fields[5], fields[6], fields[7], fields[8], fields[9]};
    CGuard guard(layout);
    if (!guard.Load(f.keyBlock.data(), kKeyBlockLength)) abort();
    // Only the first 72 key bytes count: the same prefix must decode, another one may not.
    const uint8_t* key = guard.Key();
    if (key != nullptr && memcmp(key, f.guard.Key(), 72) == 0) {
      DecodeAndCheck(guard, f.blob, true);
    } else {
      uint32_t blobSize = static_cast<uint32_t>(f.blob.size());
      uint8_t* plain = guard.DecodeBlob(f.blob.data(), blobSize, nullptr);
      if (key == nullptr && plain != nullptr) abort();
      free(plain);
    }
    return 0;
  }

  const int delta = static_cast<int8_t>(data[1]);
  const uint8_t* damage = data + 2;
  const size_t damageSize = size - 2;
  std::vector<uint8_t> bytes(f.blob);
  bool untouched = delta == 0;
  if (mode == 1) BlowfishDecipherBlocks(&f.ctx, bytes.data(), bytes.size());
  for (size_t i = 0; i < damageSize && i < bytes.size(); ++i) {
    bytes[i] ^= damage[i];
    untouched = untouched && damage[i] == 0;
  }
  if (mode == 1) {
    const uint32_t packedSize = ReadLittle32(&bytes[8]);
    if ((data[0] & 4) != 0 && packedSize <= bytes.size() - 24) {
      WriteLittle32(&bytes[16], static_cast<uint32_t>(crc32(0, &bytes[24], packedSize)));
      untouched = false;
    }
    BlowfishEncipherBlocks(&f.ctx, bytes.data(), bytes.size());
  }
  if (delta < 0 && static_cast<size_t>(-delta) > bytes.size()) return 0;
  bytes.resize(bytes.size() + delta, 0);
  DecodeAndCheck(f.guard, bytes, untouched);
  return 0;
}
