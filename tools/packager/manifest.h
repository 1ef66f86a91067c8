// The package manifest, package.toml: what goes into a package and where it comes from.
// The format is described at the top of manifest.cpp.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "package/embedded_package.h"
#include "tools/packager/key_material.h"
#include "tools/packager/package_file.h"
#include "tools/packager/problems.h"
#include "tools/packager/string_table.h"

// Values for "${NAME}" in the manifest's paths, given on the command line.
using Variables = std::map<std::string, std::string>;

// Where an input file comes from: the path (manifest folder applied) and the manifest line
// that names it.
struct SourceFile {
  std::string path;
  int line = 0;
  bool present() const { return !path.empty(); }
};

enum TableSlot { kTableCommon, kTableExtra, kTableLanguage0, kTableLanguage1, kTableSlots };
enum DocumentSlot { kDocumentA, kDocumentB, kDocumentE, kDocumentSlots };

struct DocumentSource : SourceFile {
  bool crlf = false;  // a UTF-8 text whose line endings become CR LF
};

struct ImageSource : SourceFile {
  int variant = 0;
  int row = 0;
  int position = 0;
  ImageTable table = ImageTable::kImages;  // or the WOW64 or ARM64 edition beside the 64-bit image
  bool klc = false;    // path is a .klc file, compiled into the edition the position takes
};

// A number for each place an image can take, plain images first, then WOW64 editions, then
// ARM64 editions, each in table order.
int ImageSlot(const ImageSource& image);

// Whether a position of a row holds a 64-bit image (the positions a WOW64 edition may take),
// and whether an Itanium one.
bool IsPosition64(int position);
bool IsItaniumPosition(int position);
constexpr int kArm64Position = 12;  // the only one: ARM64 Windows starts at 10

struct Manifest {
  std::string path;  // the manifest file
  std::string name;  // [package] name, for people
  std::string seed;  // empty when [key] gives the material
  KeyMaterial key;
  int keyLine = 0;   // the line of the seed or of [key]
  SourceFile texts[kTableSlots];
  RecordMode records = RecordMode::kSmallest;
  SourceFile licence[2];
  DocumentSource documents[kDocumentSlots];
  std::vector<ImageSource> images;
};

extern const char* const kTableKeys[kTableSlots];        // "common", "extra", "language0", "language1"
extern const char kDocumentLetters[kDocumentSlots + 1];  // "ABE"

// Reads and checks a manifest. Every fault goes to problems naming the manifest's line and the
// field; false when there was any. Input files must exist (their content is read later).
bool LoadManifest(const std::string& path, const Variables& variables, Manifest* out, Problems* problems);

// The manifest of a package folder (its package.toml) or the manifest file itself.
std::string ManifestPathOf(const std::string& folderOrManifest);
