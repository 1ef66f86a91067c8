// The package a build of the program carries: the key block, its build-time constants and the
// stored blobs. The packager generates the one definition, kEmbeddedPackage, for each build.
#pragma once

#include <cstdint>

#include "package/guard.h"

struct BlobRef {
  const uint8_t* data;  // null when the package has no such blob
  uint32_t size;        // stored size, a multiple of 8
};

constexpr int kLayoutVariants = 3;
constexpr int kLayoutRows = 2;         // 0: normal images, 1: the alternative row
constexpr int kLayoutPositions = 13;   // editions by system version and processor

struct EmbeddedPackage {
  const uint8_t* keyBlock;
  int32_t keyBlockLength;
  GuardLayout layout;
  BlobRef textCommon;
  BlobRef textExtra;
  BlobRef textLanguage[2];
  BlobRef licence[2];  // by user-interface language
  BlobRef documentA;
  BlobRef documentB;
  BlobRef documentE;
  BlobRef layoutImages[kLayoutVariants][kLayoutRows][kLayoutPositions];
  // WOW64 editions: 32-bit images whose tables hold 64-bit pointers, which is how a 64-bit
  // system reads the library of its 32-bit system folder. Indexed by the position of the 64-bit
  // image they go with; null where the package has none (the 32-bit image serves then).
  BlobRef layoutImagesWow64[kLayoutVariants][kLayoutRows][kLayoutPositions];
  // ARM64 editions, for the System32 folder of ARM64 Windows (10 and later, so only beside
  // position 12); null where the package has none, and such a system is then refused.
  BlobRef layoutImagesArm64[kLayoutVariants][kLayoutRows][kLayoutPositions];
};

extern const EmbeddedPackage kEmbeddedPackage;
