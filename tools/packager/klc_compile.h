// The .klc compiler: a layout's source to its libraries, one for each compiled edition
// (layout_emitter.h), and "packager compile", which writes them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/packager/layout_library.h"
#include "tools/packager/problems.h"

struct CompiledLayout {
  std::string name;  // the library's file name without ".dll" (KBD)
  std::map<LayoutEdition, std::vector<uint8_t>> libraries;
};

// Reads, checks and compiles the file; every problem goes to problems with file, line and
// column, and then nothing is compiled.
bool CompileKlcFile(const std::string& path, CompiledLayout* out, Problems* problems);

// Writes OUT/<edition folder>/<name>.dll for every edition (each only when its bytes changed);
// lines for the user ("...: written" / "unchanged") go to *report.
bool WriteCompiledLayout(const CompiledLayout& layout, const std::string& outDir, std::vector<std::string>* report,
                         Problems* problems);
