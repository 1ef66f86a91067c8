// A layout library made from its tables and resources, for one edition: the code of
// KbdLayerDescriptor, the tables, the export, the resources, the base relocations of every
// address it holds, a matching checksum. No C compiler and no linker take part; the same input
// gives the same bytes.
#pragma once

#include <string>
#include <vector>

#include "tools/packager/layout_library.h"
#include "tools/packager/layout_model.h"

// The editions a .klc file is compiled to, and the folders "packager compile" writes them to
// ("i386", "amd64", "wow64", "arm64"). Itanium is not among them.
extern const LayoutEdition kCompiledEditions[4];
const char* EditionFolder(LayoutEdition edition);

// `name` is the library's file name without ".dll" (its export directory names the file).
std::vector<uint8_t> EmitLayoutLibrary(const LayoutModel& tables, const LayoutResources& resources,
                                       LayoutEdition edition, const std::string& name);
