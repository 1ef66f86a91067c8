// The resources of a layout library that say what it is: the string table's strings and the
// version information.
#pragma once

#include <string>

#include "tools/packager/layout_model.h"
#include "tools/packager/pe_image.h"

// Reads every string of the string tables (type 6) and the version information (type 16).
// True with nothing read when the library has no resources; false with *error when they lead
// outside the file.
bool ReadLayoutResources(const PeImage& pe, LayoutResources* out, std::string* error);
