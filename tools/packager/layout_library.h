// A layout library read as the system reads it: the PE file's export KbdLayerDescriptor leads to
// the layout's tables, and from them to what each key types and to the places the installer
// patches. Every read is bounded by the file; nothing of the library is run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/layout_model.h"

enum class LayoutEdition { kX86, kX64, kItanium, kWow64, kArm64 };

// "x86", "x64", "Itanium", "WOW64", "ARM64".
const char* LayoutEditionName(LayoutEdition edition);

constexpr size_t kNoOffset = static_cast<size_t>(-1);

// File offsets of what the installer patches (texts 146-151 find them).
struct LayoutTables {
  LayoutEdition edition = LayoutEdition::kX86;
  size_t mainTable = kNoOffset;   // the virtual key of scan code 0; 16-bit entries follow
  unsigned mainEntries = 0;       // entries the table holds (bMaxVSCtoVK)
  size_t e0List = kNoOffset;      // first 4-byte record of the E0 list
  size_t e1List = kNoOffset;      // first 4-byte record of the E1 list
  size_t decimalKey = kNoOffset;  // first character of the keypad decimal key; kNoOffset: no such key
  unsigned decimalColumns = 0;    // characters in the decimal key's record
};

// Reads the tables of a layout library's image. False with *error saying what is missing: not
// a PE file, no export KbdLayerDescriptor, code that does not simply return the tables' address,
// or tables that do not lie inside the file. Itanium libraries are followed through their
// function descriptor and global pointer, ARM64 ones through the page and offset their code
// adds; 32-bit libraries are read in both pointer forms and reported as x86 or WOW64 by the
// form whose tables are sound.
bool ReadLayoutTables(const std::vector<uint8_t>& image, LayoutTables* out, std::string* error);

// Everything a library says about the layout.
struct LayoutLibrary {
  LayoutEdition edition = LayoutEdition::kX86;
  uint16_t machine = 0;       // of the PE header
  unsigned pointerSize = 0;   // of the tables
  bool checksumValid = false; // the header's checksum matches the file
  LayoutModel tables;
  LayoutResources resources;
};

// Reads the whole tables and the resources; false with *error as ReadLayoutTables, or when a
// table or the resources lead outside the file.
bool ReadLayoutLibrary(const std::vector<uint8_t>& image, LayoutLibrary* out, std::string* error);
