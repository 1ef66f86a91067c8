// "packager new": a package folder for another layout, made from the demo package: a fresh seed
// and product code, the layout's identifiers in every text that carries them, and optionally
// the layout libraries with the search patterns found in them.
#pragma once

#include <string>
#include <vector>

#include "tools/packager/problems.h"

struct NewPackageOptions {
  std::string folder;    // created; must not exist
  std::string from;      // the demo package folder to copy
  std::string language;  // text 86: 1 to 4 hexadecimal digits
  std::string layout;    // text 85, the layout identifier: 8 hexadecimal digits
  std::string layoutId;  // text 87: 4 hexadecimal digits
  // Layout libraries by edition, each optional; with any of them the demo's images are
  // replaced by these (copied to layouts/<edition>/), for every variant and row, and texts 83
  // and 146-151 are set from them.
  std::string x86, x64, wow64, itanium, arm64;
};

// Checks the options, copies the demo folder (without its layout sources) and makes the
// changes; every fault goes to problems. Lines for the user go to *report.
bool CreatePackage(const NewPackageOptions& options, std::vector<std::string>* report, Problems* problems);

// A text file's content with the text `id` replaced: its lines (comments and blank lines among
// them kept) become `body`, and its header's note `note` when that is not empty. False when the
// file has no such text.
bool ReplaceText(std::string* content, uint32_t id, const std::string& body, const std::string& note);

// Every occurrence of `from` (ASCII, any case) in the lines of text `id` replaced by `to`.
void ReplaceInText(std::string* content, uint32_t id, const std::string& from, const std::string& to);
