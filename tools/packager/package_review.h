// Warnings of "packager check" for a package made from the demo: what is still the demo's, and
// what the wizard offers that the package cannot install. A warning does not fail the check.
#pragma once

#include <string>
#include <vector>

#include "tools/packager/check.h"
#include "tools/packager/image_check.h"
#include "tools/packager/key_material.h"
#include "tools/packager/problems.h"

// The demo package's seed and product code (text 84), which no other package should carry.
extern const char kDemoSeed[];
extern const char kDemoProductCode[];

// Warns, one line each, about: a key block made from the demo's seed; the demo's product code;
// an input-language script (texts 62, 63, 65, 66) that names a layout identifier ("0415:" then
// 8 hexadecimal digits) other than text 85; and every variant and row of the wizard (all three variants and the alternative row
// are always offered) that lacks an image at a position where another one has one. origin and
// keyLine say where the key material comes from.
void ReviewPackage(const std::string& origin, int keyLine, const KeyBytes& keyBlock, const TableSet& tables,
                   const std::vector<LayoutImage>& images, Problems* warnings);
