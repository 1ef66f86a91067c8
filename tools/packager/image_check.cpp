#include "tools/packager/image_check.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "app/text_ids.h"
#include "package/guard.h"
#include "strings/search.h"
#include "tools/packager/image_source.h"
#include "tools/packager/layout_library.h"
#include "tools/packager/package_file.h"
#include "tools/packager/utf.h"

namespace {

constexpr size_t kMainTableBytes = 127 * 2;
constexpr size_t kListRecordBytes = 4;
constexpr size_t kDecimalBytes = 4;  // two 16-bit characters
constexpr size_t kOffsetsShown = 4;

enum class Shape { kMainTable, kList, kDecimal };

struct Pattern {
  uint32_t id;
  Shape shape;
  std::string what;
};

// The patterns an image of this variant may be patched with, in the order the installer
// applies them.
std::vector<Pattern> PatternsOf(int variant) {
  return {
      {kTextMainTablePattern0 + static_cast<uint32_t>(variant), Shape::kMainTable,
       "table of virtual keys of variant " + std::to_string(variant)},
      {kTextE0ListPattern, Shape::kList, "list of E0 keys"},
      {kTextE1ListPattern, Shape::kList, "list of E1 keys"},
      {kTextDecimalKeyPattern, Shape::kDecimal, "characters of the decimal key"},
  };
}

struct Resolved {
  const TextEntry* entry = nullptr;
  const TextFile* table = nullptr;
};

// The text the program gets for a language: its language table, then common, then extra.
Resolved Resolve(const TableSet& tables, int language, uint32_t id) {
  for (int slot : {kTableLanguage0 + language, static_cast<int>(kTableCommon), static_cast<int>(kTableExtra)}) {
    const TextFile& table = tables.tables[slot];
    if (const TextEntry* entry = table.Find(id)) return {entry, &table};
  }
  return {};
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a pattern text, decoded as the installer decodes it; false with the fault.
bool DecodePattern(const std::string& text, std::vector<uint8_t>* bytes, std::string* fault) {
  if (text.empty()) {
    *fault = "it is empty";
    return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (DigitValue(text[i]) < 0) {
      *fault = "\"" + DisplayText(text.substr(i, 1)) + "\" at position " + std::to_string(i + 1) +
               " is not an upper-case hexadecimal digit";
      return false;
    }
  }
  if (text.size() % 2) {
    *fault = "it has an odd number of digits (" + std::to_string(text.size()) + "); bytes are digit pairs";
    return false;
  }
  bytes->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    bytes->push_back(static_cast<uint8_t>(DigitValue(text[i]) * 16 + DigitValue(text[i + 1])));
  }
  return true;
}

// Every start of the pattern in the image, overlapping ones included, found with the
// installer's own search.
std::vector<size_t> Occurrences(const std::vector<uint8_t>& image, const std::vector<uint8_t>& pattern) {
  std::vector<size_t> out;
  const int size = static_cast<int>(image.size());
  const int length = static_cast<int>(pattern.size());
  for (int at = FindBytes(image.data(), pattern.data(), size, length, 0); at >= 0;
       at = FindBytes(image.data(), pattern.data(), size, length, at + 1)) {
    out.push_back(static_cast<size_t>(at));
  }
  return out;
}

bool Fits(size_t size, size_t offset, size_t length) { return offset <= size && size - offset >= length; }

// What is wrong with the table, list or characters at `offset`, or "" when they fit.
std::string ShapeFault(const std::vector<uint8_t>& image, size_t offset, Shape shape) {
  const size_t size = image.size();
  const std::string at = "at offset " + HexOffset(offset) + ": ";
  const std::string end = " the end of the image (" + std::to_string(size) + " bytes)";
  switch (shape) {
    case Shape::kMainTable:
      if (Fits(size, offset, kMainTableBytes)) return "";
      return at + "the table of 127 virtual keys (" + std::to_string(kMainTableBytes) + " bytes) reaches past" + end;
    case Shape::kList:
      for (size_t record = offset; Fits(size, record, kListRecordBytes); record += kListRecordBytes) {
        if (image[record] == 0) return "";
      }
      return at + "the list has no end record (4 bytes, the first 0) before" + end;
    case Shape::kDecimal:
      if (Fits(size, offset, kDecimalBytes)) return "";
      return at + "the two 16-bit characters (4 bytes) reach past" + end;
  }
  return "";
}

// ARM64 Windows loads its layout library in the kernel: another edition in the ARM64 table, or
// an ARM64 library in another, leaves a system without its layout. "" when the edition fits.
std::string EditionFault(const LayoutImage& image) {
  const bool arm64Table = image.table == ImageTable::kArm64;
  LayoutTables tables;
  std::string error;
  if (!ReadLayoutTables(image.bytes, &tables, &error)) return arm64Table ? "not an ARM64 layout library: " + error : "";
  if (arm64Table == (tables.edition == LayoutEdition::kArm64)) return "";
  if (!arm64Table) return "an ARM64 library serves only as an ARM64 edition (edition = \"arm64\")";
  return std::string("an ARM64 edition, but the library is the ") + LayoutEditionName(tables.edition) + " edition";
}

std::string OffsetList(const std::vector<size_t>& offsets) {
  std::string out;
  for (size_t i = 0; i < offsets.size() && i < kOffsetsShown; ++i) out += (i ? ", " : "") + HexOffset(offsets[i]);
  if (offsets.size() > kOffsetsShown) out += ", ...";
  return out;
}

// Checks one image for itself and every image in `same` (the same bytes from the same place).
void CheckImage(const TableSet& tables, const LayoutImage& image, const std::vector<const LayoutImage*>& same,
                Problems* problems) {
  std::string subject = same.size() > 1 ? "images " : "image ";
  for (size_t i = 0; i < same.size(); ++i) {
    subject += (i ? ", " : "") + ImageBlobName(same[i]->variant, same[i]->row, same[i]->position, same[i]->table);
  }
  if (!image.file.empty()) subject += " (" + image.file + ")";
  auto report = [&](const std::string& message) { problems->Add(image.origin, image.line, subject + ": " + message); };
  if (image.bytes.size() > static_cast<size_t>(INT_MAX)) {
    report("too large for the installer's search (" + std::to_string(image.bytes.size()) + " bytes)");
    return;
  }
  const std::string edition = EditionFault(image);
  if (!edition.empty()) report(edition);
  for (const Pattern& pattern : PatternsOf(image.variant)) {
    const Resolved forLanguage[2] = {Resolve(tables, 0, pattern.id), Resolve(tables, 1, pattern.id)};
    const bool shared = forLanguage[0].entry == forLanguage[1].entry;
    for (int language = 0; language < (shared ? 1 : 2); ++language) {
      const Resolved& text = forLanguage[language];
      std::string label = "text " + std::to_string(pattern.id);
      if (!shared) label += " of language " + std::to_string(language);
      if (!text.entry) {
        report(label + " (" + pattern.what + ") is missing: no table holds it");
        continue;
      }
      label += " (" + pattern.what + ", " + Where(text.table->path, text.entry->line) + ")";
      std::vector<uint8_t> bytes;
      std::string fault;
      if (!DecodePattern(text.entry->text, &bytes, &fault)) {
        report(label + " is not a search pattern: " + fault);
        continue;
      }
      const std::vector<size_t> offsets = Occurrences(image.bytes, bytes);
      if (offsets.empty()) {
        report(label + " does not occur in the image");
      } else if (offsets.size() > 1) {
        report(label + " occurs " + std::to_string(offsets.size()) + " times (at offsets " + OffsetList(offsets) +
               "); it must occur exactly once");
      } else {
        fault = ShapeFault(image.bytes, offsets[0], pattern.shape);
        if (!fault.empty()) report(label + " " + fault);
      }
    }
  }
}

// An image of a manifest, its messages pointing at its [[image]] line.
LayoutImage ImageOf(const Manifest& manifest, const ImageSource& source, std::vector<uint8_t> bytes) {
  LayoutImage image;
  image.origin = manifest.path;
  image.line = source.line;
  image.file = source.path;
  if (source.klc) image.file += ", its " + std::string(LayoutEditionName(CompiledEdition(source))) + " edition";
  image.variant = source.variant;
  image.row = source.row;
  image.position = source.position;
  image.table = source.table;
  image.bytes = std::move(bytes);
  return image;
}

}  // namespace

bool LoadImagesFromFolder(const std::string& folderOrManifest, const Variables& variables,
                          std::vector<LayoutImage>* out, Problems* problems) {
  Manifest manifest;
  Problems reportedElsewhere;
  LoadManifest(ManifestPathOf(folderOrManifest), variables, &manifest, &reportedElsewhere);
  return ImagesFromManifest(manifest, out, problems);
}

bool ImagesFromManifest(const Manifest& manifest, std::vector<LayoutImage>* out, Problems* problems) {
  out->clear();
  bool ok = true;
  ImageFiles files;
  for (const ImageSource& source : manifest.images) {
    std::vector<uint8_t> bytes;
    if (!files.Read(source, &bytes, problems)) {
      ok = false;
      continue;
    }
    out->push_back(ImageOf(manifest, source, std::move(bytes)));
  }
  return ok;
}

bool LoadImagesFromPackage(const std::string& packagePath, std::vector<LayoutImage>* out, Problems* problems) {
  out->clear();
  PackageFile package;
  std::unique_ptr<CGuard> guard;
  if (!OpenPackageFile(packagePath, &package, &guard, problems)) return false;
  return ImagesFromPackage(packagePath, package, *guard, out, problems);
}

bool ImagesFromPackage(const std::string& packagePath, const PackageFile& package, const CGuard& guard,
                       std::vector<LayoutImage>* out, Problems* problems) {
  out->clear();
  bool ok = true;
  for (ImageTable table : kImageTables) {
  for (int variant = 0; variant < kLayoutVariants; ++variant) {
    for (int row = 0; row < kLayoutRows; ++row) {
      for (int position = 0; position < kLayoutPositions; ++position) {
        const std::string name = ImageBlobName(variant, row, position, table);
        const NamedBlob* blob = package.Find(name);
        if (!blob) continue;
        uint32_t size = static_cast<uint32_t>(blob->stored.size());
        uint8_t* plain = guard.DecodeBlob(blob->stored.data(), size, nullptr);
        if (!plain) {
          problems->Add(packagePath + "[" + name + "]", 0, "does not decode");
          ok = false;
          continue;
        }
        LayoutImage image;
        image.origin = packagePath;
        image.variant = variant;
        image.row = row;
        image.position = position;
        image.table = table;
        image.bytes.assign(plain, plain + size);
        free(plain);
        out->push_back(std::move(image));
      }
    }
  }
  }
  return ok;
}

void CheckImages(const TableSet& tables, const std::vector<LayoutImage>& images, Problems* problems) {
  // One file often serves several positions: its findings are reported once, naming them all.
  std::vector<std::vector<const LayoutImage*>> groups;
  for (const LayoutImage& image : images) {
    auto same = [&](const std::vector<const LayoutImage*>& group) {
      const LayoutImage& first = *group[0];
      return first.origin == image.origin && first.line == image.line && first.file == image.file &&
             first.variant == image.variant && first.table == image.table && first.bytes == image.bytes;
    };
    auto group = std::find_if(groups.begin(), groups.end(), same);
    if (group == groups.end()) {
      groups.push_back({&image});
    } else {
      group->push_back(&image);
    }
  }
  for (const auto& group : groups) CheckImage(tables, *group[0], group, problems);
}

bool CheckBuildImages(const Manifest& manifest, const TableSet& texts, const std::vector<PlainBlob>& plain,
                      Problems* problems) {
  if (manifest.images.empty()) return true;
  const size_t before = problems->Count();
  std::vector<LayoutImage> images;
  for (const ImageSource& source : manifest.images) {
    const std::string name = ImageBlobName(source.variant, source.row, source.position, source.table);
    for (const PlainBlob& blob : plain) {
      if (blob.name != name) continue;
      images.push_back(ImageOf(manifest, source, blob.bytes));
    }
  }
  CheckImages(texts, images, problems);
  return problems->Count() == before;
}
