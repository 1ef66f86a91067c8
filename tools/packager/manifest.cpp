// package.toml, the manifest of a package folder (TOML). Relative paths are taken from the
// manifest's folder; "${NAME}" in a path is replaced by the value given with --var NAME=VALUE
// (for files that a build makes elsewhere, such as the layout libraries). Unknown tables and
// keys are faults, so that a misspelt key is not silently ignored.
//
//   [package]
//   name = "Demo layout"      # optional, for people (inspect shows it)
//   seed = "demo-2026-12"     # the key block and its ten constants are derived from this text;
//                             # the same seed gives byte-identical output
//
//   [key]                     # instead of seed: the material itself
//   block = "0123ABCD..."     # 968 bytes as 1936 hexadecimal digits; blanks and line breaks
//                             # between them are ignored (a multi-line string may be used)
//   key_offset = 17           # 0..473: the 495-byte key window lies inside the block
//   move1_source = 5          # positions: 0..967
//   move1_dest = 600
//   move1_length = 40         # lengths: 0 or more (the program clips a run at the block's end)
//   move2_source = 0
//   move2_dest = 0
//   move2_length = 0
//   xor_source_pos = 3
//   xor_start = 100
//   xor_length = 50
//
//   [texts]                   # the four string tables, text files (see text_file.h)
//   common = "texts/common.txt"
//   extra = "texts/extra.txt"
//   language0 = "texts/en.txt"    # interface language 0
//   language1 = "texts/pl.txt"    # interface language 1
//   records = "smallest"          # utf8 | utf16 | smallest (default): the record of each text
//
//   [licence]                 # UTF-8 texts shown on the licence page; required. Line endings
//   language0 = "licence/en.txt"  # become CR LF, which the page's edit control needs.
//   language1 = "licence/pl.txt"
//
//   [documents]               # documents A, B and E of the installation folder, each optional
//   A = "docs/about.txt"                          # stored byte for byte
//   B = { file = "docs/switch.txt", crlf = true } # UTF-8 text, line endings made CR LF
//
//   [[image]]                 # one layout library image per table; any position may be empty
//   variant = 0               # 0..2
//   row = 0                   # 0 normal, 1 alternative
//   position = 3              # 0..12, or positions = [4, 7, 10, 12] for one file in several
//   file = "${LAYOUTS}/layout-x64.dll"
//   klc = "layout.klc"        # instead of file: the layout's source, compiled by the packager into
//                             # the edition each position takes (x86, x64, or WOW64 and ARM64
//                             # with the edition below); not for the Itanium positions 3, 6, 9
//   edition = "wow64"         # optional: the WOW64 edition (32-bit code, tables with 64-bit
//                             # pointers) for the 32-bit system folder of a 64-bit system;
//                             # positions are those of the 64-bit image it accompanies (3, 4,
//                             # 6, 7, 9, 10, 12). Without one, that folder gets the 32-bit image.
//   edition = "arm64"         # or the ARM64 edition for System32 of ARM64 Windows, which starts
//                             # at 10: position 12 only, beside the x64 image of those versions.
//                             # Without one, ARM64 Windows is refused.
#include "tools/packager/manifest.h"

#include <cctype>
#include <filesystem>
#include <toml++/toml.h>

#include "tools/packager/file_io.h"

namespace fs = std::filesystem;

const char* const kTableKeys[kTableSlots] = {"common", "extra", "language0", "language1"};
const char kDocumentLetters[kDocumentSlots + 1] = "ABE";

namespace {

class ManifestReader {
 public:
  ManifestReader(const std::string& path, const Variables& variables, Problems* problems)
      : m_path(path), m_variables(variables), m_problems(problems) {
    m_folder = fs::path(path).parent_path();
  }

  bool Read(const toml::table& root, Manifest* out);

 private:
  static int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

  void Fault(int line, const std::string& message) { m_problems->Add(m_path, line, message); }

  // Faults for every key of `table` that is not in `known`.
  void RejectUnknown(const toml::table& table, const std::string& where, std::initializer_list<const char*> known);

  const toml::table* Table(const toml::table& root, const char* name, bool required);
  bool String(const toml::node* node, const std::string& field, std::string* out);
  // missingLine: where to point when the key is absent (its table's line).
  bool Integer(const toml::node* node, const std::string& field, int64_t minimum, int64_t maximum, int64_t* out,
               int missingLine);
  // A path of an input file: variables replaced, the manifest folder applied, the file present.
  bool InputFile(const toml::node* node, const std::string& field, SourceFile* out);
  bool Substitute(const std::string& text, int line, const std::string& field, std::string* out);

  void ReadPackage(const toml::table& root, Manifest* out);
  void ReadKey(const toml::table& key, Manifest* out);
  void ReadTexts(const toml::table& root, Manifest* out);
  void ReadLicence(const toml::table& root, Manifest* out);
  void ReadDocuments(const toml::table& root, Manifest* out);
  void ReadImages(const toml::table& root, Manifest* out);
  // "position = N" or "positions = [N, ...]", each checked; false after reporting a fault.
  bool ImagePositions(const toml::table& image, const std::string& field, int line, std::vector<int64_t>* out);

  std::string m_path;
  fs::path m_folder;
  const Variables& m_variables;
  Problems* m_problems;
};

void ManifestReader::RejectUnknown(const toml::table& table, const std::string& where,
                                   std::initializer_list<const char*> known) {
  for (auto&& [key, node] : table) {
    bool found = false;
    for (const char* name : known) found = found || key.str() == name;
    if (!found) Fault(LineOf(node), "unknown key \"" + std::string(key.str()) + "\" in " + where);
  }
}

const toml::table* ManifestReader::Table(const toml::table& root, const char* name, bool required) {
  const toml::node* node = root.get(name);
  if (!node) {
    if (required) Fault(0, "[" + std::string(name) + "] is missing");
    return nullptr;
  }
  if (!node->is_table()) {
    Fault(LineOf(*node), std::string(name) + " must be a table ([" + name + "])");
    return nullptr;
  }
  return node->as_table();
}

bool ManifestReader::String(const toml::node* node, const std::string& field, std::string* out) {
  if (!node->is_string()) {
    Fault(LineOf(*node), field + " must be a text in quotes");
    return false;
  }
  *out = node->as_string()->get();
  return true;
}

bool ManifestReader::Integer(const toml::node* node, const std::string& field, int64_t minimum, int64_t maximum,
                             int64_t* out, int missingLine) {
  if (!node) {
    Fault(missingLine, field + " is missing");
    return false;
  }
  if (!node->is_integer()) {
    Fault(LineOf(*node), field + " must be a whole number");
    return false;
  }
  const int64_t value = node->as_integer()->get();
  if (value < minimum || value > maximum) {
    Fault(LineOf(*node), field + " = " + std::to_string(value) + " is out of range (" + std::to_string(minimum) +
                             ".." + std::to_string(maximum) + ")");
    return false;
  }
  *out = value;
  return true;
}

bool ManifestReader::Substitute(const std::string& text, int line, const std::string& field, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, "${") != 0) {
      *out += text[i++];
      continue;
    }
    const size_t close = text.find('}', i + 2);
    if (close == std::string::npos) {
      Fault(line, field + ": \"${\" without \"}\"");
      return false;
    }
    const std::string name = text.substr(i + 2, close - i - 2);
    bool valid = !name.empty() && !isdigit(static_cast<unsigned char>(name[0]));
    for (char c : name) valid = valid && (isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!valid) {
      Fault(line, field + ": bad variable name \"" + name + "\"");
      return false;
    }
    auto found = m_variables.find(name);
    if (found == m_variables.end()) {
      Fault(line, field + ": variable " + name + " is not defined (give it with --var " + name + "=VALUE)");
      return false;
    }
    *out += found->second;
    i = close + 1;
  }
  return true;
}

bool ManifestReader::InputFile(const toml::node* node, const std::string& field, SourceFile* out) {
  std::string text;
  if (!String(node, field, &text)) return false;
  const int line = LineOf(*node);
  std::string substituted;
  if (!Substitute(text, line, field, &substituted)) return false;
  if (substituted.empty()) {
    Fault(line, field + " is empty");
    return false;
  }
  fs::path path(substituted);
  if (path.is_relative()) path = m_folder / path;
  path = path.lexically_normal();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    Fault(line, field + ": " + (fs::exists(path, ec) ? "not a file: " : "no such file: ") + path.string());
    return false;
  }
  out->path = path.string();
  out->line = line;
  return true;
}

void ManifestReader::ReadKey(const toml::table& key, Manifest* out) {
  std::initializer_list<const char*> known = {"block",        "key_offset",   "move1_source",   "move1_dest",
                                              "move1_length", "move2_source", "move2_dest",     "move2_length",
                                              "xor_source_pos", "xor_start",  "xor_length"};
  RejectUnknown(key, "[key]", known);
  const toml::node* blockNode = key.get("block");
  std::string hex;
  if (!blockNode) {
    Fault(LineOf(key), "key.block is missing");
  } else if (String(blockNode, "key.block", &hex)) {
    std::string digits;
    bool ok = true;
    for (size_t i = 0; i < hex.size() && ok; ++i) {
      const char c = hex[i];
      if (isxdigit(static_cast<unsigned char>(c))) {
        digits += c;
      } else if (!isspace(static_cast<unsigned char>(c))) {
        Fault(LineOf(*blockNode), std::string("key.block: \"") + c + "\" is not a hexadecimal digit");
        ok = false;
      }
    }
    if (ok && digits.size() != 2 * kKeyBlockLength) {
      Fault(LineOf(*blockNode), "key.block holds " + std::to_string(digits.size()) + " hexadecimal digits; " +
                                    std::to_string(2 * kKeyBlockLength) + " needed (" +
                                    std::to_string(kKeyBlockLength) + " bytes)");
      ok = false;
    }
    if (ok) {
      out->key.block = KeyBytes(kKeyBlockLength);
      for (int i = 0; i < kKeyBlockLength; ++i) {
        out->key.block.Data()[i] = static_cast<uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
      }
    }
    std::fill(digits.begin(), digits.end(), '\0');
    std::fill(hex.begin(), hex.end(), '\0');
  }
  for (const LayoutField& field : kLayoutFields) {
    int64_t value = 0;
    if (Integer(key.get(field.name), std::string("key.") + field.name, 0, field.maximum, &value, LineOf(key))) {
      out->key.layout.*field.member = static_cast<int32_t>(value);
    }
  }
}

void ManifestReader::ReadPackage(const toml::table& root, Manifest* out) {
  const toml::table* package = Table(root, "package", false);
  const toml::table* key = Table(root, "key", false);
  const toml::node* seed = package ? package->get("seed") : nullptr;
  if (package) {
    RejectUnknown(*package, "[package]", {"name", "seed"});
    if (const toml::node* name = package->get("name")) String(name, "package.name", &out->name);
  }
  if (seed && key) {
    Fault(LineOf(*seed), "package.seed and [key] both given; use one");
  } else if (seed) {
    out->keyLine = LineOf(*seed);
    if (String(seed, "package.seed", &out->seed)) {
      if (out->seed.empty()) {
        Fault(LineOf(*seed), "package.seed is empty");
      } else {
        out->key = MaterialFromSeed(out->seed);
      }
    }
  } else if (key) {
    out->keyLine = LineOf(*key);
    ReadKey(*key, out);
  } else {
    Fault(0, "neither package.seed nor [key] given: the package needs a key block");
  }
}

void ManifestReader::ReadTexts(const toml::table& root, Manifest* out) {
  const toml::table* texts = Table(root, "texts", true);
  if (!texts) return;
  RejectUnknown(*texts, "[texts]", {"common", "extra", "language0", "language1", "records"});
  for (int slot = 0; slot < kTableSlots; ++slot) {
    const std::string field = std::string("texts.") + kTableKeys[slot];
    const toml::node* node = texts->get(kTableKeys[slot]);
    if (!node) {
      Fault(LineOf(*texts), field + " is missing (the program needs all four tables)");
      continue;
    }
    InputFile(node, field, &out->texts[slot]);
  }
  if (const toml::node* records = texts->get("records")) {
    std::string mode;
    if (String(records, "texts.records", &mode)) {
      if (mode == "utf8") {
        out->records = RecordMode::kUtf8;
      } else if (mode == "utf16") {
        out->records = RecordMode::kUtf16;
      } else if (mode == "smallest") {
        out->records = RecordMode::kSmallest;
      } else {
        Fault(LineOf(*records), "texts.records = \"" + mode + "\": expected \"utf8\", \"utf16\" or \"smallest\"");
      }
    }
  }
}

void ManifestReader::ReadLicence(const toml::table& root, Manifest* out) {
  const toml::table* licence = Table(root, "licence", true);
  if (!licence) return;
  RejectUnknown(*licence, "[licence]", {"language0", "language1"});
  for (int language = 0; language < 2; ++language) {
    const std::string key = "language" + std::to_string(language);
    const toml::node* node = licence->get(key);
    if (!node) {
      Fault(LineOf(*licence), "licence." + key + " is missing");
      continue;
    }
    InputFile(node, "licence." + key, &out->licence[language]);
  }
}

void ManifestReader::ReadDocuments(const toml::table& root, Manifest* out) {
  const toml::table* documents = Table(root, "documents", false);
  if (!documents) return;
  RejectUnknown(*documents, "[documents] (documents are A, B and E)", {"A", "B", "E"});
  for (int slot = 0; slot < kDocumentSlots; ++slot) {
    const std::string letter(1, kDocumentLetters[slot]);
    const std::string field = "documents." + letter;
    const toml::node* node = documents->get(letter);
    if (!node) continue;
    if (const toml::table* entry = node->as_table()) {
      RejectUnknown(*entry, field, {"file", "crlf"});
      const toml::node* file = entry->get("file");
      if (!file) {
        Fault(LineOf(*node), field + ".file is missing");
        continue;
      }
      InputFile(file, field + ".file", &out->documents[slot]);
      if (const toml::node* crlf = entry->get("crlf")) {
        if (!crlf->is_boolean()) {
          Fault(LineOf(*crlf), field + ".crlf must be true or false");
        } else {
          out->documents[slot].crlf = crlf->as_boolean()->get();
        }
      }
    } else {
      InputFile(node, field, &out->documents[slot]);
    }
  }
}

void ManifestReader::ReadImages(const toml::table& root, Manifest* out) {
  const toml::node* node = root.get("image");
  if (!node) return;
  const toml::array* images = node->as_array();
  if (!images) {
    Fault(LineOf(*node), "image must be written as [[image]] tables");
    return;
  }
  std::map<int, int> taken;  // table position -> manifest line
  static const char* const kTaken[] = {"an image", "a WOW64 edition", "an ARM64 edition"};
  int index = 0;
  for (const toml::node& element : *images) {
    ++index;
    const std::string field = "[[image]] " + std::to_string(index);
    const toml::table* image = element.as_table();
    if (!image) {
      Fault(LineOf(element), field + " must be a table");
      continue;
    }
    RejectUnknown(*image, field, {"variant", "row", "position", "positions", "file", "klc", "edition"});
    ImageSource source;
    int64_t variant = 0, row = 0;
    const int line = LineOf(element);
    bool ok = Integer(image->get("variant"), field + " variant", 0, kLayoutVariants - 1, &variant, line);
    ok = Integer(image->get("row"), field + " row", 0, kLayoutRows - 1, &row, line) && ok;
    std::vector<int64_t> positions;
    ok = ImagePositions(*image, field, line, &positions) && ok;
    const toml::node* file = image->get("file");
    const toml::node* klc = image->get("klc");
    if (!file == !klc) {
      Fault(LineOf(element), field + (file ? ": give file or klc, not both" : " file (or klc) is missing"));
      ok = false;
    } else {
      source.klc = klc != nullptr;
      ok = InputFile(file ? file : klc, field + (file ? " file" : " klc"), &source) && ok;
    }
    if (const toml::node* edition = image->get("edition")) {
      std::string name;
      if (!String(edition, field + " edition", &name)) {
        ok = false;
      } else if (name == "wow64") {
        source.table = ImageTable::kWow64;
      } else if (name == "arm64") {
        source.table = ImageTable::kArm64;
      } else {
        Fault(LineOf(*edition),
              field + " edition = \"" + name + "\": expected \"wow64\" or \"arm64\" (or no edition)");
        ok = false;
      }
    }
    for (int64_t position : positions) {
      const std::string at = field + ": position " + std::to_string(position);
      if (source.klc && source.table == ImageTable::kImages && IsItaniumPosition(static_cast<int>(position))) {
        Fault(line, at + " holds an Itanium image, which is not compiled from a .klc file; give its library as file");
        ok = false;
      }
      if (source.table == ImageTable::kWow64 && !IsPosition64(static_cast<int>(position))) {
        Fault(line, at + " holds a 32-bit image; a WOW64 edition takes the position of the 64-bit image it goes "
                         "with (3, 4, 6, 7, 9, 10, 12)");
        ok = false;
      }
      if (source.table == ImageTable::kArm64 && position != kArm64Position) {
        Fault(line, at + ": an ARM64 edition takes position 12 only (ARM64 Windows starts at 10, whose 64-bit "
                         "image stands there)");
        ok = false;
      }
    }
    if (!ok) continue;
    source.variant = static_cast<int>(variant);
    source.row = static_cast<int>(row);
    source.line = line;
    for (int64_t position : positions) {
      source.position = static_cast<int>(position);
      const int slot = ImageSlot(source);
      auto [it, inserted] = taken.emplace(slot, source.line);
      if (!inserted) {
        Fault(source.line, field + ": variant " + std::to_string(variant) + ", row " + std::to_string(row) +
                               ", position " + std::to_string(position) + " already has " +
                               kTaken[static_cast<int>(source.table)] + " (line " +
                               std::to_string(it->second) + ")");
        continue;
      }
      out->images.push_back(source);
    }
  }
}

bool ManifestReader::ImagePositions(const toml::table& image, const std::string& field, int line,
                                    std::vector<int64_t>* out) {
  const toml::node* one = image.get("position");
  const toml::node* several = image.get("positions");
  if (one && several) {
    Fault(line, field + ": give position or positions, not both");
    return false;
  }
  if (!several) {
    int64_t position = 0;
    if (!Integer(one, field + " position", 0, kLayoutPositions - 1, &position, line)) return false;
    out->push_back(position);
    return true;
  }
  const toml::array* list = several->as_array();
  if (!list || list->empty()) {
    Fault(LineOf(*several), field + " positions must be a non-empty list of positions 0.." +
                                std::to_string(kLayoutPositions - 1));
    return false;
  }
  bool ok = true;
  for (const toml::node& item : *list) {
    int64_t position = 0;
    if (Integer(&item, field + " positions", 0, kLayoutPositions - 1, &position, line)) {
      out->push_back(position);
    } else {
      ok = false;
    }
  }
  return ok;
}

bool ManifestReader::Read(const toml::table& root, Manifest* out) {
  const size_t before = m_problems->Count();
  RejectUnknown(root, "the manifest", {"package", "key", "texts", "licence", "documents", "image"});
  ReadPackage(root, out);
  ReadTexts(root, out);
  ReadLicence(root, out);
  ReadDocuments(root, out);
  ReadImages(root, out);
  return m_problems->Count() == before;
}

}  // namespace

int ImageSlot(const ImageSource& image) {
  const int table = static_cast<int>(image.table) * kLayoutVariants + image.variant;
  return (table * kLayoutRows + image.row) * kLayoutPositions + image.position;
}

bool IsItaniumPosition(int position) { return position == 3 || position == 6 || position == 9; }

bool IsPosition64(int position) {
  return position == 3 || position == 4 || position == 6 || position == 7 || position == 9 || position == 10 ||
         position == 12;
}

std::string ManifestPathOf(const std::string& folderOrManifest) {
  std::error_code ec;
  if (fs::is_directory(folderOrManifest, ec)) return (fs::path(folderOrManifest) / "package.toml").string();
  return folderOrManifest;
}

bool LoadManifest(const std::string& path, const Variables& variables, Manifest* out, Problems* problems) {
  *out = Manifest();
  out->path = path;
  std::string content;
  std::string error;
  if (!ReadWholeFile(path, &content, &error)) {
    problems->AddLine(error);
    return false;
  }
  toml::table root;
  try {
    root = toml::parse(content, path);
  } catch (const toml::parse_error& e) {
    problems->Add(path, static_cast<int>(e.source().begin.line), std::string(e.description()));
    return false;
  }
  ManifestReader reader(path, variables, problems);
  return reader.Read(root, out);
}
