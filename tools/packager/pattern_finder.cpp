#include "tools/packager/pattern_finder.h"

#include <algorithm>
#include <cstring>

#include "app/text_ids.h"
#include "tools/packager/file_io.h"
#include "tools/packager/layout_library.h"

namespace {

constexpr unsigned kMainEntries = 127;  // scan codes 0x00-0x7E, which the installer may write
constexpr size_t kMaxPatternBytes = 512;
// A pattern of a few bytes, unique in the libraries at hand, matches another build of the same
// layout by chance all too easily.
constexpr size_t kMinPatternBytes = 8;

// Occurrences of the run, overlapping ones included; stops counting at 2.
int CountUpToTwo(const std::vector<uint8_t>& image, const uint8_t* run, size_t length) {
  int count = 0;
  for (size_t at = 0; at + length <= image.size() && count < 2; ++at) {
    if (memcmp(&image[at], run, length) == 0) ++count;
  }
  return count;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

struct Library {
  std::string path;
  std::vector<uint8_t> bytes;
  LayoutTables tables;
};

struct Target {
  uint32_t id;
  const char* what;
  size_t LayoutTables::*offset;
};

}  // namespace

bool ShortestUniquePattern(const std::vector<const std::vector<uint8_t>*>& images, const std::vector<size_t>& starts,
                           size_t minLength, size_t maxLength, std::vector<uint8_t>* pattern, std::string* fault) {
  pattern->clear();
  if (images.empty() || images.size() != starts.size()) {
    *fault = "no library";
    return false;
  }
  const std::vector<uint8_t>& first = *images[0];
  for (size_t length = 1; length <= maxLength; ++length) {
    for (size_t i = 0; i < images.size(); ++i) {
      const std::vector<uint8_t>& image = *images[i];
      if (starts[i] >= image.size() || image.size() - starts[i] < length) {
        *fault = "no run from there up to the end of a library is at least " + std::to_string(minLength) +
                 " bytes long and unique";
        return false;
      }
      if (image[starts[i] + length - 1] != first[starts[0] + length - 1]) {
        *fault = "the libraries differ at byte " + std::to_string(length - 1) +
                 " from there, before a run is at least " + std::to_string(minLength) +
                 " bytes long and unique in each";
        return false;
      }
    }
    if (length < minLength) continue;
    const uint8_t* run = &first[starts[0]];
    bool unique = true;
    for (const std::vector<uint8_t>* image : images) unique = unique && CountUpToTwo(*image, run, length) == 1;
    if (unique) {
      pattern->assign(run, run + length);
      return true;
    }
  }
  *fault = "no run of up to " + std::to_string(maxLength) + " bytes from there occurs only once";
  return false;
}

bool FindLayoutPatterns(const std::vector<std::string>& paths, std::string* out, Problems* problems) {
  const size_t before = problems->Count();
  std::vector<Library> libraries;
  for (const std::string& path : paths) {
    Library library;
    library.path = path;
    std::string content, error;
    if (!ReadWholeFile(path, &content, &error)) {
      problems->AddLine(error);
      continue;
    }
    library.bytes.assign(content.begin(), content.end());
    if (!ReadLayoutTables(library.bytes, &library.tables, &error)) {
      problems->Add(path, 0, "no layout tables: " + error);
      continue;
    }
    // The installer writes all 127 entries and both characters: a shorter table or a key with
    // one character would have the bytes after it overwritten.
    if (library.tables.mainEntries < kMainEntries) {
      problems->Add(path, 0,
                    "the scan-code table at " + HexOffset(library.tables.mainTable) + " has " +
                        std::to_string(library.tables.mainEntries) + " entries; the installer writes " +
                        std::to_string(kMainEntries));
    }
    if (library.tables.decimalKey == kNoOffset) {
      problems->Add(path, 0, "no keypad decimal key (virtual key 0x6E) in the character tables");
    } else if (library.tables.decimalColumns < 2) {
      problems->Add(path, 0,
                    "the keypad decimal key at " + HexOffset(library.tables.decimalKey) +
                        " has one character; the installer writes two");
    }
    libraries.push_back(std::move(library));
  }
  if (problems->Count() != before) return false;

  *out +=
      "# Search patterns found by \"packager patterns\"; each occurs exactly once in every library\n"
      "# below and starts where the installer writes:\n";
  for (size_t i = 0; i < libraries.size(); ++i) {
    *out += "#   " + std::to_string(i + 1) + ": " + libraries[i].path + " (" +
            LayoutEditionName(libraries[i].tables.edition) + ")\n";
  }
  static const Target kTargets[] = {
      {kTextDecimalKeyPattern, "keypad decimal key: its two characters", &LayoutTables::decimalKey},
      {kTextMainTablePattern0, "scan-code table, variant 0: from the entry of scan code 0", &LayoutTables::mainTable},
      {kTextMainTablePattern0 + 1, "scan-code table, variant 1: from the entry of scan code 0",
       &LayoutTables::mainTable},
      {kTextMainTablePattern0 + 2, "scan-code table, variant 2: from the entry of scan code 0",
       &LayoutTables::mainTable},
      {kTextE0ListPattern, "E0 list: from its first record", &LayoutTables::e0List},
      {kTextE1ListPattern, "E1 list: from its first record", &LayoutTables::e1List},
  };
  std::vector<const std::vector<uint8_t>*> images;
  for (const Library& library : libraries) images.push_back(&library.bytes);
  for (const Target& target : kTargets) {
    std::vector<size_t> starts;
    std::string where;
    for (size_t i = 0; i < libraries.size(); ++i) {
      starts.push_back(libraries[i].tables.*target.offset);
      where += (i ? ", " : "") + HexOffset(starts.back()) + " (" + std::to_string(i + 1) + ")";
    }
    std::vector<uint8_t> pattern;
    std::string fault;
    *out += "\n# at " + where + "\n";
    if (!ShortestUniquePattern(images, starts, kMinPatternBytes, kMaxPatternBytes, &pattern, &fault)) {
      *out += "# no pattern: " + fault + "\n";
      problems->AddLine("text " + std::to_string(target.id) + " (" + target.what +
                        "): no pattern fits every library: " + fault +
                        "; give fewer libraries at a time (for example one variant's)");
      continue;
    }
    *out += "== " + std::to_string(target.id) + "  " + target.what + "\n" + HexText(pattern) + "\n";
  }
  return problems->Count() == before;
}
