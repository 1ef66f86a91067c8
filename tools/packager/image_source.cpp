#include "tools/packager/image_source.h"

#include "tools/packager/file_io.h"

LayoutEdition CompiledEdition(const ImageSource& image) {
  if (image.table == ImageTable::kWow64) return LayoutEdition::kWow64;
  if (image.table == ImageTable::kArm64) return LayoutEdition::kArm64;
  return IsPosition64(image.position) ? LayoutEdition::kX64 : LayoutEdition::kX86;
}

bool ImageFiles::Read(const ImageSource& image, std::vector<uint8_t>* out, Problems* problems) {
  if (!image.klc) {
    std::string bytes, error;
    if (!ReadWholeFile(image.path, &bytes, &error)) {
      problems->AddLine(error);
      return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
  }
  auto found = m_compiled.find(image.path);
  if (found == m_compiled.end()) {
    CompiledLayout layout;
    const bool ok = CompileKlcFile(image.path, &layout, problems);
    found = m_compiled.emplace(image.path, std::make_pair(ok, std::move(layout))).first;
  }
  if (!found->second.first) return false;
  *out = found->second.second.libraries.at(CompiledEdition(image));
  return true;
}
