#include "tools/packager/klc_compile.h"

#include <filesystem>

#include "tools/packager/file_io.h"
#include "tools/packager/klc_reader.h"
#include "tools/packager/klc_tables.h"
#include "tools/packager/layout_emitter.h"

namespace fs = std::filesystem;

bool CompileKlcFile(const std::string& path, CompiledLayout* out, Problems* problems) {
  *out = CompiledLayout();
  std::string bytes, error;
  KlcSource source;
  LayoutModel tables;
  LayoutResources resources;
  if (!ReadWholeFile(path, &bytes, &error)) {
    problems->AddLine(error);
    return false;
  }
  if (!ParseKlc(path, bytes, &source, problems) || !BuildLayout(source, &tables, &resources, problems)) return false;
  out->name = source.name;
  for (LayoutEdition edition : kCompiledEditions) {
    out->libraries[edition] = EmitLayoutLibrary(tables, resources, edition, source.name);
  }
  return true;
}

bool WriteCompiledLayout(const CompiledLayout& layout, const std::string& outDir, std::vector<std::string>* report,
                         Problems* problems) {
  bool ok = true;
  for (const auto& [edition, bytes] : layout.libraries) {
    const fs::path folder = fs::path(outDir) / EditionFolder(edition);
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string path = (folder / (layout.name + ".dll")).string();
    bool changed = false;
    std::string error;
    if (ec) {
      problems->AddLine(folder.string() + ": cannot create the folder: " + ec.message());
      ok = false;
    } else if (!WriteFileIfChanged(path, std::string(bytes.begin(), bytes.end()), &changed, &error)) {
      problems->AddLine(error);
      ok = false;
    } else {
      report->push_back(path + (changed ? ": written" : ": unchanged") + " (" + LayoutEditionName(edition) + ")");
    }
  }
  return ok;
}
