#include "package/blowfish.h"

#include <cstring>

static_assert(sizeof(BlowfishContext) == (18 + 4 * 256) * 4, "P-array and S-boxes, nothing else");

// The block functions go into every loop that uses them whatever the optimisation level: the
// program is built for size, and an out-of-line call per block costs a sixth of the cipher.
#if defined(__GNUC__)
#define BLOWFISH_INLINE inline __attribute__((always_inline))
#else
#define BLOWFISH_INLINE inline
#endif

namespace {

constexpr int kRounds = 16;
constexpr int kKeyWords = kRounds + 2;

BLOWFISH_INLINE uint32_t F(const uint32_t* s, uint32_t x) {
  return ((s[x >> 24] + s[256 + ((x >> 16) & 255)]) ^ s[512 + ((x >> 8) & 255)]) + s[768 + (x & 255)];
}

// Sixteen rounds written out: each line is one round's F and the next round's key word, so the
// halves trade roles by name and never by a swap.
BLOWFISH_INLINE void EncipherBlock(const uint32_t* p, const uint32_t* s, uint32_t& left, uint32_t& right) {
  uint32_t l = left ^ p[0];
  uint32_t r = right;
  r ^= F(s, l) ^ p[1];
  l ^= F(s, r) ^ p[2];
  r ^= F(s, l) ^ p[3];
  l ^= F(s, r) ^ p[4];
  r ^= F(s, l) ^ p[5];
  l ^= F(s, r) ^ p[6];
  r ^= F(s, l) ^ p[7];
  l ^= F(s, r) ^ p[8];
  r ^= F(s, l) ^ p[9];
  l ^= F(s, r) ^ p[10];
  r ^= F(s, l) ^ p[11];
  l ^= F(s, r) ^ p[12];
  r ^= F(s, l) ^ p[13];
  l ^= F(s, r) ^ p[14];
  r ^= F(s, l) ^ p[15];
  l ^= F(s, r) ^ p[16];
  left = r ^ p[17];
  right = l;
}

// The same rounds with the key words in reverse order.
BLOWFISH_INLINE void DecipherBlock(const uint32_t* p, const uint32_t* s, uint32_t& left, uint32_t& right) {
  uint32_t l = left ^ p[17];
  uint32_t r = right;
  r ^= F(s, l) ^ p[16];
  l ^= F(s, r) ^ p[15];
  r ^= F(s, l) ^ p[14];
  l ^= F(s, r) ^ p[13];
  r ^= F(s, l) ^ p[12];
  l ^= F(s, r) ^ p[11];
  r ^= F(s, l) ^ p[10];
  l ^= F(s, r) ^ p[9];
  r ^= F(s, l) ^ p[8];
  l ^= F(s, r) ^ p[7];
  r ^= F(s, l) ^ p[6];
  l ^= F(s, r) ^ p[5];
  r ^= F(s, l) ^ p[4];
  l ^= F(s, r) ^ p[3];
  r ^= F(s, l) ^ p[2];
  l ^= F(s, r) ^ p[1];
  left = r ^ p[0];
  right = l;
}

// Little-endian words: one plain load or store where the machine is little-endian (memcpy of
// four bytes compiles to exactly that, aligned or not), bytes assembled elsewhere.
BLOWFISH_INLINE uint32_t LoadLittle32(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint32_t v;
  memcpy(&v, p, sizeof v);
  return v;
#else
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
#endif
}

BLOWFISH_INLINE void StoreLittle32(uint8_t* p, uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  memcpy(p, &v, sizeof v);
#else
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
#endif
}

// ECB over whole 8-byte blocks with little-endian halves from in to out (which may be in); the
// bytes after the last whole block are copied unchanged when out is not in. The key words are
// read through local pointers so that the compiler can keep them out of the stores' way.
template <bool kDecipher>
void CipherBlocks(const BlowfishContext* ctx, const uint8_t* in, uint8_t* out, size_t length) {
  const uint32_t* p = ctx->p;
  const uint32_t* s = ctx->s;
  const size_t whole = length & ~static_cast<size_t>(7);
  for (size_t at = 0; at < whole; at += 8) {
    uint32_t left = LoadLittle32(in + at);
    uint32_t right = LoadLittle32(in + at + 4);
    if (kDecipher) {
      DecipherBlock(p, s, left, right);
    } else {
      EncipherBlock(p, s, left, right);
    }
    StoreLittle32(out + at, left);
    StoreLittle32(out + at + 4, right);
  }
  if (out != in && whole < length) memcpy(out + whole, in + whole, length - whole);
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

  // Each enciphered block replaces the next two words, P first, then S; one loop, so that the
  // program carries one copy of the unrolled rounds for the schedule.
  uint32_t left = 0;
  uint32_t right = 0;
  for (int i = 0; i < kKeyWords + 4 * 256; i += 2) {
    EncipherBlock(ctx->p, ctx->s, left, right);
    uint32_t* words = i < kKeyWords ? ctx->p + i : ctx->s + (i - kKeyWords);
    words[0] = left;
    words[1] = right;
  }
}

void BlowfishEncipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right) {
  EncipherBlock(ctx->p, ctx->s, *left, *right);
}

void BlowfishDecipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right) {
  DecipherBlock(ctx->p, ctx->s, *left, *right);
}

void BlowfishEncipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length) {
  CipherBlocks<false>(ctx, data, data, length);
}

void BlowfishDecipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length) {
  CipherBlocks<true>(ctx, data, data, length);
}

void BlowfishDecipherBlocksTo(const BlowfishContext* ctx, const uint8_t* in, uint8_t* out, size_t length) {
  CipherBlocks<true>(ctx, in, out, length);
}
