#include "package/blowfish.h"

#include <cstring>

static_assert(sizeof(BlowfishContext) == (18 + 4 * 256) * 4, "P-array and S-boxes, nothing else");

namespace {

constexpr int kRounds = 16;
constexpr int kKeyWords = kRounds + 2;

inline uint32_t RoundFunction(const BlowfishContext* ctx, uint32_t x) {
  const uint32_t* s = ctx->s;
  return ((s[x >> 24] + s[256 + ((x >> 16) & 255)]) ^ s[512 + ((x >> 8) & 255)]) + s[768 + (x & 255)];
}

inline uint32_t ReadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteLittle32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// ECB over whole 8-byte blocks with little-endian halves. The direction is a template argument
// so that each instance calls its cipher directly, as a hand-written loop would.
template <void (*Cipher)(const BlowfishContext*, uint32_t*, uint32_t*)>
void CipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length) {
  for (size_t at = 0; at + 8 <= length; at += 8) {
    uint32_t left = ReadLittle32(data + at);
    uint32_t right = ReadLittle32(data + at + 4);
    Cipher(ctx, &left, &right);
    WriteLittle32(data + at, left);
    WriteLittle32(data + at + 4, right);
  }
}

}  // namespace

void BlowfishInit(BlowfishContext* ctx, const uint8_t* key, int keyLength) {
  memcpy(ctx->p, kBlowfishInitialP, sizeof ctx->p);
  memcpy(ctx->s, kBlowfishInitialS, sizeof ctx->s);

  // 18 words of four bytes each use at most the first 72 key bytes; a shorter key repeats.
  if (key != nullptr && keyLength > 0) {
    int position = 0;
    for (int i = 0; i < kKeyWords; ++i) {
      uint32_t word = 0;
      for (int b = 0; b < 4; ++b) {
        word = word << 8 | key[position];
        if (++position == keyLength) position = 0;
      }
      ctx->p[i] ^= word;
    }
  }

  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < kKeyWords; i += 2) {
    BlowfishEncipher(ctx, &left, &right);
    ctx->p[i] = left;
    ctx->p[i + 1] = right;
  }
  for (int i = 0; i < 4 * 256; i += 2) {
    BlowfishEncipher(ctx, &left, &right);
    ctx->s[i] = left;
    ctx->s[i + 1] = right;
  }
}

void BlowfishEncipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right) {
  uint32_t l = *left;
  uint32_t r = *right;
  // Two rounds per step, so the halves trade places by naming instead of by swapping.
  for (int i = 0; i < kRounds; i += 2) {
    l ^= ctx->p[i];
    r ^= RoundFunction(ctx, l);
    r ^= ctx->p[i + 1];
    l ^= RoundFunction(ctx, r);
  }
  *left = r ^ ctx->p[kRounds + 1];
  *right = l ^ ctx->p[kRounds];
}

void BlowfishDecipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right) {
  uint32_t l = *left;
  uint32_t r = *right;
  for (int i = kRounds + 1; i > 1; i -= 2) {
    l ^= ctx->p[i];
    r ^= RoundFunction(ctx, l);
    r ^= ctx->p[i - 1];
    l ^= RoundFunction(ctx, r);
  }
  *left = r ^ ctx->p[0];
  *right = l ^ ctx->p[1];
}

void BlowfishEncipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length) {
  CipherBlocks<BlowfishEncipher>(ctx, data, length);
}

void BlowfishDecipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length) {
  CipherBlocks<BlowfishDecipher>(ctx, data, length);
}
