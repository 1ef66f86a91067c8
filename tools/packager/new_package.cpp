#include "tools/packager/new_package.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <random>

#include "app/text_ids.h"
#include "tools/packager/file_io.h"
#include "tools/packager/pattern_finder.h"
#include "tools/packager/text_file.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kTextProductCode = 84;
constexpr uint32_t kTextLayoutKlid = 85;
constexpr uint32_t kTextLayoutIdValue = 87;
// The input-language scripts: add (62, 63) and remove (65, 66).
constexpr uint32_t kScriptTexts[] = {62, 63, 65, 66};

bool IsHex(const std::string& text, size_t minimum, size_t maximum) {
  if (text.size() < minimum || text.size() > maximum) return false;
  for (char c : text) {
    if (!isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string RandomHex(std::random_device& random, size_t digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  while (out.size() < digits) {
    uint32_t value = random();
    for (int i = 0; i < 8 && out.size() < digits; ++i, value >>= 4) out += kDigits[value & 15];
  }
  return out;
}

// A random (version 4) GUID in braces, as the registry shows product codes.
std::string NewGuid(std::random_device& random) {
  std::string hex = RandomHex(random, 32);
  hex[12] = '4';
  hex[16] = "89AB"[random() & 3];
  return "{" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
         hex.substr(20) + "}";
}

// The identifier of a header line "== N ...", or -1 for any other line.
int64_t HeaderId(const std::string& line) {
  if (line.compare(0, 2, "==") != 0) return -1;
  size_t i = 2;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  const size_t start = i;
  int64_t id = 0;
  while (i < line.size() && isdigit(static_cast<unsigned char>(line[i])) && id <= UINT32_MAX)
    id = id * 10 + (line[i++] - '0');
  return i == start || id > UINT32_MAX ? -1 : id;
}

std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= content.size()) {
    const size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      if (start < content.size()) lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

bool IsComment(const std::string& line) { return !line.empty() && line[0] == '#'; }

// manifest line "key = ..." (the first one) given a new value.
bool SetManifestValue(std::string* manifest, const std::string& key, const std::string& value) {
  std::vector<std::string> lines = Lines(*manifest);
  for (std::string& line : lines) {
    if (line.compare(0, key.size() + 3, key + " = ") == 0) {
      line = key + " = \"" + value + "\"";
      *manifest = Joined(lines);
      return true;
    }
  }
  return false;
}

struct Edition {
  const char* folder;
  const std::string NewPackageOptions::*file;
  const char* positions;
  bool wow64;
  const char* name;  // the manifest's edition, or null
};

// Positions by system version: 32-bit 0, 1, 2, 5, 8, 11; Itanium 3, 6, 9; x64 4, 7, 10, 12. The
// WOW64 edition goes with every 64-bit image, the ARM64 edition with that of Windows 10 on.
std::string ImageTables(const NewPackageOptions& options, const std::vector<std::string>& files) {
  const Edition editions[] = {
      {"x86", &NewPackageOptions::x86, "[0, 1, 2, 5, 8, 11]", false, nullptr},
      {"x64", &NewPackageOptions::x64, "[4, 7, 10, 12]", false, nullptr},
      {"itanium", &NewPackageOptions::itanium, "[3, 6, 9]", false, nullptr},
      {"wow64", &NewPackageOptions::wow64, "", true, "wow64"},
      {"arm64", &NewPackageOptions::arm64, "[12]", false, "arm64"},
  };
  std::string wow64Positions = !options.itanium.empty() && !options.x64.empty() ? "[3, 4, 6, 7, 9, 10, 12]"
                               : !options.itanium.empty()                       ? "[3, 6, 9]"
                               : !options.x64.empty()                           ? "[4, 7, 10, 12]"
                                                                                : "[]";
  std::string out =
      "# Layout library images, made by \"packager new\": one build of the library serves every system\n"
      "# version, and every variant and row of the wizard gets the same files. Positions by system version:\n"
      "#   32-bit 0, 1, 2, 5, 8, 11; Itanium 3, 6, 9; x64 4, 7, 10, 12; the WOW64 edition (edition =\n"
      "#   \"wow64\") at the positions of the 64-bit images it goes with, the ARM64 edition (edition =\n"
      "#   \"arm64\") at 12.\n";
  for (int variant = 0; variant < 3; ++variant) {
    for (int row = 0; row < 2; ++row) {
      for (size_t e = 0; e < std::size(editions); ++e) {
        const Edition& edition = editions[e];
        if ((options.*edition.file).empty() || (edition.wow64 && wow64Positions == "[]")) continue;
        out += "\n[[image]]\nvariant = " + std::to_string(variant) + "\nrow = " + std::to_string(row) +
               "\npositions = " + (edition.wow64 ? wow64Positions : std::string(edition.positions)) + "\n";
        if (edition.name) out += "edition = \"" + std::string(edition.name) + "\"\n";
        out += "file = \"" + files[e] + "\"\n";
      }
    }
  }
  return out;
}

// The manifest without its [[image]] tables and the comments just before them.
std::string WithoutImages(const std::string& manifest) {
  std::vector<std::string> lines = Lines(manifest);
  size_t cut = 0;
  while (cut < lines.size() && lines[cut].compare(0, 9, "[[image]]") != 0) ++cut;
  while (cut > 0 && (lines[cut - 1].empty() || IsComment(lines[cut - 1]))) --cut;
  lines.resize(cut);
  return Joined(lines) + "\n";
}

}  // namespace

bool ReplaceText(std::string* content, uint32_t id, const std::string& body, const std::string& note) {
  std::vector<std::string> out;
  bool found = false, inside = false;
  for (const std::string& line : Lines(*content)) {
    const int64_t header = HeaderId(line);
    if (header >= 0) {
      inside = header == id;
      if (inside) {
        found = true;
        out.push_back(note.empty() ? line : "== " + std::to_string(id) + "  " + note);
        for (const std::string& bodyLine : Lines(body)) out.push_back(bodyLine);
        continue;
      }
    }
    // The old text's lines go; comments and blank lines stay where they were.
    if (inside && !line.empty() && !IsComment(line)) continue;
    out.push_back(line);
  }
  if (found) *content = Joined(out);
  return found;
}

void ReplaceInText(std::string* content, uint32_t id, const std::string& from, const std::string& to) {
  std::vector<std::string> lines = Lines(*content);
  bool inside = false;
  const std::string key = Lower(from);
  for (std::string& line : lines) {
    const int64_t header = HeaderId(line);
    if (header >= 0) {
      inside = header == id;
      continue;
    }
    if (!inside || IsComment(line)) continue;
    std::string lower = Lower(line);
    for (size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + to.size())) {
      line.replace(at, from.size(), to);
      lower.replace(at, from.size(), Lower(to));
    }
  }
  *content = Joined(lines);
}

bool CreatePackage(const NewPackageOptions& options, std::vector<std::string>* report, Problems* problems) {
  const size_t before = problems->Count();
  if (!IsHex(options.language, 1, 4))
    problems->AddLine("--language " + options.language + ": 1 to 4 hexadecimal digits expected (0427)");
  if (!IsHex(options.layout, 8, 8))
    problems->AddLine("--layout " + options.layout + ": 8 hexadecimal digits expected (a0010427)");
  if (!IsHex(options.layoutId, 4, 4))
    problems->AddLine("--layout-id " + options.layoutId + ": 4 hexadecimal digits expected (00d1)");
  std::error_code ec;
  if (fs::exists(options.folder, ec)) problems->AddLine(options.folder + ": already exists; give a new folder");
  // A folder inside the one copied would be copied into itself.
  const fs::path source = fs::weakly_canonical(options.from, ec), target = fs::weakly_canonical(options.folder, ec);
  if (std::mismatch(source.begin(), source.end(), target.begin(), target.end()).first == source.end()) {
    problems->AddLine(options.folder + ": lies inside " + options.from + "; give a folder outside it");
  }
  for (const std::string* library : {&options.x86, &options.x64, &options.wow64, &options.itanium, &options.arm64}) {
    if (!library->empty() && !fs::is_regular_file(*library, ec)) problems->AddLine(*library + ": no such file");
  }
  const fs::path from(options.from);
  const fs::path common = from / "texts" / "common.txt";
  std::string texts, manifest, error;
  if (!ReadWholeFile(common.string(), &texts, &error) ||
      !ReadWholeFile((from / "package.toml").string(), &manifest, &error)) {
    problems->AddLine(error + " (the demo package to copy; give it with --from)");
  }
  if (problems->Count() != before) return false;

  // The demo's own identifiers, to be replaced wherever the scripts name them.
  TextFile demoTexts;
  Problems demoFaults;  // the copy's own check reports them
  ParseTextFile(common.string(), texts, &demoTexts, &demoFaults);
  const TextEntry* demoLayout = demoTexts.Find(kTextLayoutKlid);
  const TextEntry* demoLanguage = demoTexts.Find(kTextPackageLangId);
  if (!demoLayout || !demoLanguage) {
    problems->Add(common.string(), 0, "texts 85 and 86 are missing: not the demo package");
    return false;
  }
  const std::string language =
      Lower(std::string(4 - std::min<size_t>(4, options.language.size()), '0') + options.language);
  const std::string layout = Lower(options.layout);

  // The demo's folders except the sources of its layout libraries.
  const fs::path folder(options.folder);
  fs::create_directories(folder, ec);
  for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
    if (entry.path().filename() == "layouts") continue;
    fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive, ec);
    if (ec) {
      problems->AddLine((folder / entry.path().filename()).string() + ": cannot copy: " + ec.message());
      return false;
    }
  }

  std::random_device random;
  const std::string productCode = NewGuid(random);
  ReplaceText(&texts, kTextProductCode, productCode, "");
  ReplaceText(&texts, kTextLayoutKlid, layout, "");
  ReplaceText(&texts, kTextPackageLangId, language, "");
  ReplaceText(&texts, kTextLayoutIdValue, Lower(options.layoutId), "");
  for (uint32_t id : kScriptTexts) {
    ReplaceInText(&texts, id, demoLanguage->text + ":" + demoLayout->text, language + ":" + layout);
    ReplaceInText(&texts, id, demoLayout->text, layout);
  }
  const std::string name =
      folder.filename().empty() ? folder.parent_path().filename().string() : folder.filename().string();
  SetManifestValue(&manifest, "name", name);
  SetManifestValue(&manifest, "seed", name + "-" + RandomHex(random, 16));

  // The libraries, copied into the package folder, and the patterns found in the copies.
  const std::string NewPackageOptions::*files[] = {&NewPackageOptions::x86, &NewPackageOptions::x64,
                                                   &NewPackageOptions::itanium, &NewPackageOptions::wow64,
                                                   &NewPackageOptions::arm64};
  const char* folders[] = {"x86", "x64", "itanium", "wow64", "arm64"};
  std::vector<std::string> relative(std::size(folders)), copies;
  std::string fileName;
  for (size_t e = 0; e < std::size(folders); ++e) {
    const std::string& source = options.*files[e];
    if (source.empty()) continue;
    relative[e] = std::string("layouts/") + folders[e] + "/" + fs::path(source).filename().string();
    fs::create_directories(folder / "layouts" / folders[e], ec);
    fs::copy_file(source, folder / relative[e], ec);
    if (ec) {
      problems->AddLine(source + ": cannot copy: " + ec.message());
      continue;
    }
    copies.push_back((folder / relative[e]).string());
    if (fileName.empty()) fileName = fs::path(source).filename().string();
  }
  if (problems->Count() != before) return false;
  if (!copies.empty()) {
    std::string found;
    Problems patternProblems;
    const bool fits = FindLayoutPatterns(copies, &found, &patternProblems);
    TextFile patterns;
    ParseTextFile("patterns", found, &patterns, &patternProblems);
    for (const TextEntry& entry : patterns.entries) {
      ReplaceText(&texts, entry.id, entry.text, "search pattern found by packager patterns");
    }
    for (const std::string& line : patternProblems.Lines()) report->push_back("warning: " + line);
    if (!fits) report->push_back("warning: the texts without a pattern keep the demo's: choose them yourself");
    ReplaceText(&texts, kTextLayoutFileName, fileName, "");
    manifest = WithoutImages(manifest) + ImageTables(options, relative);
  }

  bool changed = false;
  if (!WriteFileIfChanged((folder / "texts" / "common.txt").string(), texts, &changed, &error) ||
      !WriteFileIfChanged((folder / "package.toml").string(), manifest, &changed, &error)) {
    problems->AddLine(error);
    return false;
  }
  report->push_back(folder.string() + ": made from " + from.string() + "; product code " + productCode +
                    ", a new seed; texts 84-87 and the scripts 62, 63, 65, 66 carry the new identifiers");
  if (copies.empty()) {
    report->push_back(
        "the images are still the demo's (package.toml): give your libraries, then run packager patterns");
  }
  report->push_back(
      "next: review the texts of the checklist in the README (\"For layout vendors\", step 5), then packager check " +
      folder.string() + (copies.empty() ? " --var LAYOUTS=<demo layouts>" : ""));
  return true;
}
