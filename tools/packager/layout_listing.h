// What "packager inspect LIBRARY" prints: the edition, what every key types in every shift
// state (Caps Lock, dead keys and ligatures included), the scan codes' virtual keys, the dead
// keys' tables, the key names and the resources, one fact a line, in the tables' order. Two
// libraries with the same tables give the same lines whatever their edition and byte layout.
#pragma once

#include <string>

#include "tools/packager/layout_library.h"

// The first line names the edition, the machine, the pointer width and whether the checksum
// matches; every later line is about the layout.
std::string LayoutListing(const LayoutLibrary& library);
