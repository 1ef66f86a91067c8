// Building a package: the manifest's inputs read and checked, tables built, every blob
// deflated and enciphered; and the two outputs, the generated C++ source and the package file.
#pragma once

#include <string>
#include <vector>

#include "tools/packager/check.h"
#include "tools/packager/manifest.h"
#include "tools/packager/package_file.h"
#include "tools/packager/problems.h"

// Deliberate damage, for tests that need installers which must fail to start. Never for a
// package that is shipped.
enum class Damage {
  kNone,
  kTableByte,       // one byte of the stored common-table blob flipped (its packed data)
  kKeyBlockLength,  // the key block emitted one byte short (967 bytes)
};

// The plain content of one blob, before deflating and enciphering.
struct PlainBlob {
  std::string name;
  std::vector<uint8_t> bytes;
  uint32_t extra = 0;  // a table's entry count; 0 otherwise
};

// Reads every input the manifest names and turns it into blob content: text files into tables,
// licence texts checked and given CR LF line endings, documents as they are (or a CR LF document
// checked the same way), images as they are but for the PE header checksum, renewed to match. The text files as read go to *texts, for the image
// check. False when anything was rejected.
bool ReadPlainBlobs(const Manifest& manifest, std::vector<PlainBlob>* out, TableSet* texts, Problems* problems);

// ReadPlainBlobs and the image check (CheckBuildImages), then every blob encoded with the
// manifest's key.
bool BuildPackage(const Manifest& manifest, Damage damage, PackageFile* out, Problems* problems);

// The generated C++ source that defines kEmbeddedPackage (package/embedded_package.h).
std::string EmbeddedSource(const PackageFile& package);

// Writes DIR/embedded_package.cpp and DIR/package.bin, each only when its bytes changed.
// Lines for the user ("embedded_package.cpp: written" / "unchanged") go to *report.
bool WriteOutputs(const PackageFile& package, const std::string& outDir, std::vector<std::string>* report,
                  Problems* problems);

// Zeroes a string that held key material, before it is freed.
void WipeString(std::string* text);
