// The resource section of a layout library: its strings (string 1000 names the layout) and its
// version information, as resource_reader.cpp reads them.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/packager/layout_model.h"

// The section's bytes for the RVA it will have (its data entries hold RVAs).
std::vector<uint8_t> WriteResources(const LayoutResources& resources, uint32_t sectionRva);
