// The package file (package.bin): a built package as one file, for inspection, checks and tests.
//
// Layout (all integers little-endian, unsigned 32-bit unless said otherwise):
//   +0    8   magic "LSPKG\r\n\x1A" (the CR LF and ^Z catch text-mode copies)
//   +8    4   format version: 1
//   +12   4   key block length K (968; other values only in deliberately damaged test packages)
//   +16   40  the ten constants, signed 32-bit, in this order: key offset, move 1 source,
//             move 1 destination, move 1 length, move 2 source, move 2 destination, move 2
//             length, XOR source position, XOR start, XOR length
//   +56   K   the stored key block
//   then  4   N, length of the package name; N bytes of UTF-8 name
//   then  4   D, number of distinct stored blobs; D times: 4 bytes stored size S, S bytes blob
//   then  4   E, number of named entries; E times: 4 bytes name length L, L bytes ASCII name,
//             4 bytes index of its blob (0..D-1). Blobs with identical bytes are stored once
//             and named by several entries. Names: textCommon, textExtra, textLanguage0,
//             textLanguage1, licence0, licence1, documentA, documentB, documentE, and
//             layoutImage.V.R.P (variant, row, position), layoutImageWow64.V.R.P (the
//             WOW64 edition beside the 64-bit image at P) and layoutImageArm64.V.R.12 (the
//             ARM64 edition beside the 64-bit image of Windows 10 and later); absent blobs
//             have no entry.
//   then  4   CRC-32 of every byte before it
//   end of file
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/guard.h"
#include "tools/packager/key_material.h"

struct NamedBlob {
  std::string name;
  std::vector<uint8_t> stored;  // the stored (enciphered) form
};

struct PackageFile {
  std::string name;
  KeyBytes keyBlock;
  GuardLayout layout = {};
  std::vector<NamedBlob> blobs;  // in the order of the names above

  const NamedBlob* Find(const std::string& blobName) const;
};

std::string SerializePackageFile(const PackageFile& package);

// False with a message at the first inconsistency (bad magic, version, truncation, a bad
// index, a CRC mismatch, bytes after the end).
bool ParsePackageFile(const std::string& bytes, PackageFile* out, std::string* error);

bool LoadPackageFile(const std::string& path, PackageFile* out, std::string* error);

// Blob names.
std::string TableBlobName(int slot);     // textCommon, textExtra, textLanguage0, textLanguage1
std::string LicenceBlobName(int language);
std::string DocumentBlobName(int slot);
// The package's tables of layout images, each by variant, row and position: the images, the
// WOW64 editions and the ARM64 editions that stand beside the 64-bit images.
enum class ImageTable { kImages, kWow64, kArm64 };
constexpr ImageTable kImageTables[] = {ImageTable::kImages, ImageTable::kWow64, ImageTable::kArm64};
std::string ImageBlobName(int variant, int row, int position, ImageTable table = ImageTable::kImages);
