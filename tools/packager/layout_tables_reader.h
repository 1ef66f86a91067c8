// The walk of a layout library's tables (KBDTABLES) into a LayoutModel, for either pointer width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/layout_model.h"

// Reads the tables at `address` in the mapped image (PeImage::Map), whose pointers are
// pointerSize (4 or 8) bytes wide. False with *error at the first pointer or list that leads
// outside the image.
bool ReadLayoutModel(const std::vector<uint8_t>& mapped, uint64_t imageBase, uint64_t address, unsigned pointerSize,
                     LayoutModel* out, std::string* error);
