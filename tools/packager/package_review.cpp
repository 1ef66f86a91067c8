#include "tools/packager/package_review.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "app/text_ids.h"
#include "tools/packager/utf.h"

const char kDemoSeed[] = "demo-2026-12";
const char kDemoProductCode[] = "{C00D2462-1F17-4976-A3B3-2FDD95E48B82}";

namespace {

constexpr uint32_t kTextProductCode = 84;
constexpr uint32_t kTextLayoutKlid = 85;
constexpr uint32_t kTextAltImageOption = 108;
constexpr uint32_t kScriptTexts[] = {62, 63, 65, 66};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// The layout identifiers a script names: 8 hexadecimal digits standing alone after the
// language and a colon ("0415:a0000415"), as both script forms write them.
std::vector<std::string> LayoutIdentifiers(const std::string& text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    if (!isalnum(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    size_t end = i;
    bool hex = true;
    while (end < text.size() && isalnum(static_cast<unsigned char>(text[end]))) {
      hex = hex && isxdigit(static_cast<unsigned char>(text[end]));
      ++end;
    }
    if (hex && end - i == 8 && i > 0 && text[i - 1] == ':') out.push_back(text.substr(i, 8));
    i = end;
  }
  return out;
}

// A position of the images, or of the ARM64 editions beside them.
using Place = std::pair<ImageTable, int>;

std::string PositionList(const std::set<Place>& places) {
  std::string out;
  for (const auto& [table, position] : places) {
    out += (out.empty() ? "" : ", ") + std::to_string(position) + (table == ImageTable::kArm64 ? " (ARM64)" : "");
  }
  return out;
}

}  // namespace

void ReviewPackage(const std::string& origin, int keyLine, const KeyBytes& keyBlock, const TableSet& tables,
                   const std::vector<LayoutImage>& images, Problems* warnings) {
  if (keyBlock == MaterialFromSeed(kDemoSeed).block) {
    warnings->Add(
        origin, keyLine,
        std::string("the key block is the demo's (seed \"") + kDemoSeed + "\"): give the package a seed of its own");
  }
  const TextFile* table = nullptr;
  if (const TextEntry* code = LookupText(tables, 0, kTextProductCode, &table)) {
    if (Lower(code->text) == Lower(kDemoProductCode)) {
      warnings->Add(table->path, code->line, "text 84: the product code is the demo's; give the layout one of its own");
    }
  }
  // Installed apps shows them beside the layout's name; without them the entry is thinner.
  for (uint32_t id : {kTextDisplayVersion, kTextPublisher}) {
    if (!LookupText(tables, 0, id, &table)) {
      warnings->Add(origin, 0, "text " + std::to_string(id) + std::string(id == kTextPublisher ? " (publisher)" : " (version)") +
                                   " is missing: Installed apps shows the layout without it");
    }
  }
  const TextEntry* layout = LookupText(tables, 0, kTextLayoutKlid, &table);
  for (const TextFile& file : tables.tables) {
    for (const TextEntry& entry : file.entries) {
      if (!layout || std::find(std::begin(kScriptTexts), std::end(kScriptTexts), entry.id) == std::end(kScriptTexts)) {
        continue;
      }
      for (const std::string& named : LayoutIdentifiers(entry.text)) {
        if (Lower(named) == Lower(layout->text)) continue;
        warnings->Add(file.path, entry.line,
                      "text " + std::to_string(entry.id) + ": the script names layout " + named + ", but text 85 is " +
                          DisplayText(layout->text));
      }
    }
  }

  // Places with an image, by variant and row. The WOW64 editions only stand beside the 64-bit
  // images (the 32-bit one serves without them); ARM64 Windows has nothing but its edition.
  std::map<std::pair<int, int>, std::set<Place>> filled;
  std::set<Place> any;
  for (const LayoutImage& image : images) {
    if (image.table == ImageTable::kWow64) continue;
    filled[{image.variant, image.row}].insert({image.table, image.position});
    any.insert({image.table, image.position});
  }
  // Only text 336 tells the installer that it runs on ARM64 Windows.
  const auto arm64 = [](const LayoutImage& image) { return image.table == ImageTable::kArm64; };
  if (std::any_of(images.begin(), images.end(), arm64) && !LookupText(tables, 0, kTextMachinesProc, &table)) {
    warnings->Add(origin, 0, "ARM64 editions, but no text 336 (IsWow64Process2): the installer would not recognise "
                             "ARM64 Windows and would never install them");
  }
  if (any.empty()) return;
  for (int variant = 0; variant < kLayoutVariants; ++variant) {
    for (int row = 0; row < kLayoutRows; ++row) {
      std::set<Place> missing;
      const std::set<Place>& have = filled[{variant, row}];
      for (const Place& place : any) {
        if (!have.count(place)) missing.insert(place);
      }
      if (missing.empty()) continue;
      std::string what = "variant " + std::to_string(variant) + " (text " + std::to_string(kTextVariant0 + variant);
      if (const TextEntry* name = LookupText(tables, 0, kTextVariant0 + variant, &table)) {
        what += " \"" + DisplayText(name->text) + "\"";
      }
      what +=
          row ? "), alternative row (check box, text " + std::to_string(kTextAltImageOption) + ")" : "), normal row";
      warnings->Add(origin, 0,
                    what + ": no image at position" + (missing.size() > 1 ? "s " : " ") + PositionList(missing) +
                        ", where other images are; the wizard offers it, and an install that chooses it "
                        "there stops. Give it images (one file may serve several variants and rows)");
    }
  }
}
