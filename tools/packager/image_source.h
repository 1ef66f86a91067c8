// The bytes of the layout images a manifest names: a library file as it is, or the edition of a
// .klc file's compiled library that the image's position takes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/packager/klc_compile.h"
#include "tools/packager/manifest.h"
#include "tools/packager/problems.h"

// x86 at the 32-bit positions, x64 at the 64-bit ones, WOW64 and ARM64 for those editions.
LayoutEdition CompiledEdition(const ImageSource& image);

// Compiles each .klc file once, however many positions take it, so that its problems are
// reported once.
class ImageFiles {
 public:
  bool Read(const ImageSource& image, std::vector<uint8_t>* out, Problems* problems);

 private:
  std::map<std::string, std::pair<bool, CompiledLayout>> m_compiled;  // path -> compiled, layout
};
