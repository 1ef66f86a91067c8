// The check of the layout library images against the search patterns that the installer
// patches them with (texts 146-151): each pattern must find its table in every image that may
// need it, once, with the whole table inside the image.
//
// What the installer does with an image of variant V (every step may apply to any image: the
// key reassignments and the decimal comma are the user's choices):
//   text 147+V  main table: 127 virtual keys of 16 bits (254 bytes) from the pattern's offset
//   text 150    E0 list, text 151 E1 list: records of 4 bytes (scan code, padding, virtual key)
//               from the pattern's offset, up to and including a record whose first byte is 0
//   text 146    the decimal key's two 16-bit characters: the low bytes at offset and offset + 2
// Each pattern is the first occurrence of its decoded bytes, searched from the image's start.
// A pattern that occurs more than once is refused too: the first occurrence is then a guess
// that a rebuilt library can silently change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/builder.h"
#include "tools/packager/check.h"
#include "tools/packager/manifest.h"
#include "tools/packager/problems.h"

struct LayoutImage {
  std::string origin;  // where its messages point: the manifest or the package file
  int line = 0;        // the [[image]] line of the manifest; 0 in a package file
  std::string file;    // the image's file; empty in a package file
  int variant = 0;
  int row = 0;
  int position = 0;
  // A WOW64 or ARM64 edition is patched with the same patterns as its variant's images.
  ImageTable table = ImageTable::kImages;
  std::vector<uint8_t> bytes;
};

// The images a manifest names, read from their files. The manifest's own faults are left to
// LoadTablesFromFolder, which reads the same manifest: the images it did read are loaded.
bool LoadImagesFromFolder(const std::string& folderOrManifest, const Variables& variables,
                          std::vector<LayoutImage>* out, Problems* problems);

// Every layout image blob of a package file, decoded with the program's own decoder.
bool LoadImagesFromPackage(const std::string& packagePath, std::vector<LayoutImage>* out, Problems* problems);

// The same from a manifest already read and from a package file already opened (check.h).
bool ImagesFromManifest(const Manifest& manifest, std::vector<LayoutImage>* out, Problems* problems);
bool ImagesFromPackage(const std::string& packagePath, const PackageFile& package, const CGuard& guard,
                       std::vector<LayoutImage>* out, Problems* problems);

// Checks every image against each pattern it needs, for both interface languages: a pattern
// text is looked up in the language's table, then the common table, then the extra table, as
// the program does; a text that both languages share is checked once. Images with the same
// bytes from the same place (a file at several positions, or identical blobs) are checked once
// and named together.
void CheckImages(const TableSet& tables, const std::vector<LayoutImage>& images, Problems* problems);

// The check of a build: the images as they go into the package (the plain blobs) against the
// manifest's text files as ReadPlainBlobs read them. True when the manifest has no images;
// false after any problem.
bool CheckBuildImages(const Manifest& manifest, const TableSet& texts, const std::vector<PlainBlob>& plain,
                      Problems* problems);
