// Blowfish with the published initial P-array and S-boxes (the hexadecimal digits of pi).
//
// A block is two 32-bit halves. The package reads each 8-byte block as two little-endian words,
// the first four bytes forming the left half; the published test vectors use big-endian halves.
#pragma once

#include <cstddef>
#include <cstdint>

struct BlowfishContext {
  uint32_t p[18];
  uint32_t s[4 * 256];  // S0 to S3, in that order
};

extern const uint32_t kBlowfishInitialP[18];
extern const uint32_t kBlowfishInitialS[4 * 256];

// Key schedule. keyLength >= 1; only the first 72 key bytes take part.
void BlowfishInit(BlowfishContext* ctx, const uint8_t* key, int keyLength);

void BlowfishEncipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right);
void BlowfishDecipher(const BlowfishContext* ctx, uint32_t* left, uint32_t* right);

// ECB over length / 8 whole blocks with little-endian halves, in place; the bytes after the last
// whole block stay as they are.
void BlowfishEncipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length);
void BlowfishDecipherBlocks(const BlowfishContext* ctx, uint8_t* data, size_t length);

// The same decipherment from in to out, which is either in itself or a range that does not
// overlap it: the copy of a blob and its decipherment in one pass. The bytes after the last whole
// block are copied unchanged.
void BlowfishDecipherBlocksTo(const BlowfishContext* ctx, const uint8_t* in, uint8_t* out, size_t length);
