// The listings of a package file (every blob decoded by the program's own decoder) and of a
// layout library.
#pragma once

#include <string>

#include "tools/packager/problems.h"

// Appends the listing of the package file at path to *out: the key block and its constants,
// every string table with every text (identifier, record kind, the text with control
// characters escaped), and every other blob with its stored and plain sizes and CRC-32s.
// A blob that does not decode, or a key block that does not load, goes to problems.
// False when there was any problem.
bool InspectPackage(const std::string& path, std::string* out, Problems* problems);

// Appends the listing of a layout library (layout_listing.h); a file that is no readable
// layout library goes to problems.
bool InspectLibrary(const std::string& path, std::string* out, Problems* problems);

// Whether a file is a Windows library (it starts with "MZ") rather than a package file.
bool IsLibraryFile(const std::string& path);
