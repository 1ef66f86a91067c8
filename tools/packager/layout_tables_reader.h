// The walk of a layout library's tables (KBDTABLES) into a LayoutModel, for either pointer width.
#pragma once

#include <cstddef>
#include <string>

#include "tools/packager/layout_model.h"
#include "tools/packager/pe_image.h"

// Reads the tables at file offset `at`, whose pointers are pointerSize (4 or 8) bytes wide.
// False with *error at the first pointer or list that leads outside the file.
bool ReadLayoutModel(const PeImage& pe, size_t at, unsigned pointerSize, LayoutModel* out, std::string* error);
