// The packager's side of the blob format (host only): deflate, header, pad, encipher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/guard.h"  // WipeBytes, for the packager's key material

// Builds the stored form of one blob: raw DEFLATE (window bits -15) of `plain`, the 24-byte
// header (stored size, plain size, packed size, plain CRC-32, packed CRC-32, extra; little-
// endian), zero padding to a multiple of 8, enciphered with Blowfish under `key` in ECB with
// little-endian halves. False when zlib fails or a size does not fit 32 bits.
bool EncodeBlob(const uint8_t* key, int keyLength, const uint8_t* plain, size_t plainSize, uint32_t extra,
                std::vector<uint8_t>* stored);
