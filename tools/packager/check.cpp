#include "tools/packager/check.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/text_ids.h"
#include "strings/format_spec.h"
#include "tools/packager/package_file.h"
#include "tools/packager/string_table.h"
#include "tools/packager/utf.h"


namespace {


std::string Conversion(const ConversionSpec& conv) {
  static const struct {
    unsigned flag;
    char c;
  } kFlags[] = {{kFlagLeft, '-'}, {kFlagZero, '0'}, {kFlagPlus, '+'}, {kFlagSpace, ' '},
                {kFlagAlt, '#'},  {kFlagEscape, '$'}, {kFlagGroup, '`'}};
  std::string out = "%";
  for (const auto& flag : kFlags) {
    if (conv.flags & flag.flag) out += flag.c;
  }
  if (conv.widthFromArg) {
    out += '*';
  } else if (conv.width) {
    out += std::to_string(conv.width);
  }
  if (conv.precisionFromArg) {
    out += ".*";
  } else if (conv.precision) {
    out += "." + std::to_string(conv.precision);
  }
  if (conv.size == kSize64) out += "ll";
  if (conv.size == kSizeNarrow) out += 'h';
  AppendUtf8(conv.letter, &out);
  return out;
}

bool TakesArguments(WChar letter) {
  static const char kLetters[] = "diuxXoypPcCsSzZbBfeEgGaAFIUwWnTtY";
  return letter < 0x80 && letter != 0 && strchr(kLetters, static_cast<char>(letter)) != nullptr;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : " ") + item;
  return out.empty() ? "(none)" : "\"" + out + "\"";
}

std::string TextLabel(uint32_t id) { return "text " + std::to_string(id); }

bool IsPatternText(const std::string& text, std::string* fault) {
  if (text.empty()) {
    *fault = "is empty";
    return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      *fault = "\"" + DisplayText(text.substr(i, 1)) + "\" at position " + std::to_string(i + 1) +
               " is not an upper-case hexadecimal digit";
      return false;
    }
  }
  if (text.size() % 2) {
    *fault = "has an odd number of digits (" + std::to_string(text.size()) + "); bytes are digit pairs";
    return false;
  }
  return true;
}

}  // namespace

const TextEntry* LookupText(const TableSet& tables, int language, uint32_t id, const TextFile** table) {
  const int own = language ? kTableLanguage1 : kTableLanguage0;
  for (int slot : {own, static_cast<int>(kTableCommon), static_cast<int>(kTableExtra)}) {
    if (const TextEntry* entry = tables.tables[slot].Find(id)) {
      *table = &tables.tables[slot];
      return entry;
    }
  }
  return nullptr;
}

const std::vector<uint32_t>& ProgramTextIds() {
  static const std::vector<uint32_t> ids(std::begin(kProgramTextIds), std::end(kProgramTextIds));
  return ids;
}

bool ParseIdList(const std::string& text, std::vector<uint32_t>* ids, std::string* error) {
  ids->clear();
  size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < text.size() && isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  };
  auto number = [&](uint32_t* value) {
    skipBlanks();
    const size_t start = pos;
    uint64_t v = 0;
    while (pos < text.size() && isdigit(static_cast<unsigned char>(text[pos])) && v <= UINT32_MAX) {
      v = v * 10 + static_cast<unsigned>(text[pos++] - '0');
    }
    skipBlanks();
    if (pos == start || v > UINT32_MAX) return false;
    *value = static_cast<uint32_t>(v);
    return true;
  };
  skipBlanks();
  if (pos == text.size()) return true;
  for (;;) {
    uint32_t first = 0, last = 0;
    if (!number(&first)) {
      *error = "\"" + text + "\": a text identifier expected at position " + std::to_string(pos + 1);
      return false;
    }
    last = first;
    if (pos < text.size() && text[pos] == '-') {
      ++pos;
      if (!number(&last) || last < first) {
        *error = "\"" + text + "\": bad range ending at position " + std::to_string(pos + 1);
        return false;
      }
    }
    // A range as wide as "0-4294967295" would otherwise be listed one identifier at a time.
    if (static_cast<uint64_t>(last) - first >= kMaxRequiredIds - ids->size()) {
      *error = "\"" + text + "\": more than " + std::to_string(kMaxRequiredIds) + " identifiers";
      return false;
    }
    for (uint64_t id = first; id <= last; ++id) ids->push_back(static_cast<uint32_t>(id));
    if (pos == text.size()) break;
    if (text[pos] != ',') {
      *error = "\"" + text + "\": \",\" expected at position " + std::to_string(pos + 1);
      return false;
    }
    ++pos;
  }
  std::sort(ids->begin(), ids->end());
  ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
  return true;
}

std::vector<std::string> FormatConversions(const std::string& utf8) {
  std::vector<std::string> out;
  std::u32string codePoints;
  if (!DecodeUtf8(utf8, &codePoints, nullptr)) return out;
  const std::u16string units = ToUtf16(codePoints);
  const WChar* p = reinterpret_cast<const WChar*>(units.c_str());
  while (*p) {
    if (*p != '%') {
      ++p;
      continue;
    }
    ConversionSpec conv;
    p = ParseConversion(p + 1, &conv);
    if (TakesArguments(conv.letter)) out.push_back(Conversion(conv));
  }
  return out;
}

bool LoadTablesFromFolder(const std::string& folderOrManifest, const Variables& variables, TableSet* out,
                          Problems* problems) {
  Manifest manifest;
  // Go on with whatever tables a faulty manifest did name, so that one run shows every problem.
  LoadManifest(ManifestPathOf(folderOrManifest), variables, &manifest, problems);
  return TablesFromManifest(manifest, out, problems);
}

bool TablesFromManifest(const Manifest& manifest, TableSet* out, Problems* problems) {
  out->origin = manifest.path;
  bool ok = true;
  for (int slot = 0; slot < kTableSlots; ++slot) {
    if (!manifest.texts[slot].present()) {
      ok = false;
      continue;
    }
    ok = LoadTextFile(manifest.texts[slot].path, &out->tables[slot], problems) && ok;
  }
  return ok;
}

bool OpenPackageFile(const std::string& packagePath, PackageFile* package, std::unique_ptr<CGuard>* guard,
                     Problems* problems) {
  std::string error;
  if (!LoadPackageFile(packagePath, package, &error)) {
    problems->AddLine(error);
    return false;
  }
  *guard = std::make_unique<CGuard>(package->layout);
  if (!(*guard)->Load(package->keyBlock.Data(), static_cast<int>(package->keyBlock.Size()))) {
    problems->Add(packagePath, 0, "the key block (" + std::to_string(package->keyBlock.Size()) +
                                      " bytes) does not load; the program needs " + std::to_string(kKeyBlockLength));
    return false;
  }
  return true;
}

bool LoadTablesFromPackage(const std::string& packagePath, TableSet* out, Problems* problems) {
  out->origin = packagePath;
  PackageFile package;
  std::unique_ptr<CGuard> guard;
  if (!OpenPackageFile(packagePath, &package, &guard, problems)) return false;
  return TablesFromPackage(packagePath, package, *guard, out, problems);
}

bool TablesFromPackage(const std::string& packagePath, const PackageFile& package, const CGuard& guard, TableSet* out,
                       Problems* problems) {
  out->origin = packagePath;
  std::string error;
  bool ok = true;
  for (int slot = 0; slot < kTableSlots; ++slot) {
    const std::string name = TableBlobName(slot);
    const std::string where = packagePath + "[" + name + "]";
    TextFile& table = out->tables[slot];
    table.path = where;
    const NamedBlob* blob = package.Find(name);
    if (!blob) {
      problems->Add(where, 0, "missing");
      ok = false;
      continue;
    }
    uint32_t size = static_cast<uint32_t>(blob->stored.size());
    uint32_t count = 0;
    uint8_t* plain = guard.DecodeBlob(blob->stored.data(), size, &count);
    if (!plain) {
      problems->Add(where, 0, "does not decode");
      ok = false;
      continue;
    }
    std::vector<TableRecord> records;
    const bool parsed = ParseStringTable(plain, size, count, &records, &error);
    free(plain);
    if (!parsed) {
      problems->Add(where, 0, error);
      ok = false;
      continue;
    }
    // The records as texts without lines; one the program could not read is reported.
    for (const TableRecord& record : records) {
      TextEntry entry;
      entry.id = record.id;
      if (!RecordText(record, &entry.text)) {
        problems->Add(where, 0, TextLabel(record.id) + ": a UTF-8 record that the program cannot decode");
        ok = false;
      }
      table.entries.push_back(std::move(entry));
    }
  }
  return ok;
}

void CheckTables(const TableSet& tables, const std::vector<uint32_t>& required, Problems* problems) {
  const TextFile& common = tables.tables[kTableCommon];
  const TextFile& extra = tables.tables[kTableExtra];
  const TextFile* language[2] = {&tables.tables[kTableLanguage0], &tables.tables[kTableLanguage1]};

  for (uint32_t id : required) {
    const bool shared = common.Find(id) || extra.Find(id);
    if (!shared && !language[0]->Find(id) && !language[1]->Find(id)) {
      problems->Add(tables.origin, 0, TextLabel(id) + ": required by the program, but no table holds it");
    }
  }

  for (int side = 0; side < 2; ++side) {
    const TextFile& here = *language[side];
    const TextFile& there = *language[1 - side];
    for (const TextEntry& entry : here.entries) {
      const TextEntry* other = there.Find(entry.id);
      if (!other) {
        problems->Add(here.path, entry.line, TextLabel(entry.id) + ": missing from the other language table, " + there.path);
        continue;
      }
      if (side == 1) continue;  // each pair compared once, reported at language 1
      const std::vector<std::string> mine = FormatConversions(entry.text);
      const std::vector<std::string> theirs = FormatConversions(other->text);
      if (mine != theirs) {
        problems->Add(there.path, other->line,
                      TextLabel(entry.id) + ": conversions " + Joined(theirs) + " differ from " + Joined(mine) + " in " +
                          Where(here.path, entry.line));
      }
    }
  }

  for (const TextFile* table : {&common, &extra, language[0], language[1]}) {
    for (const TextEntry& entry : table->entries) {
      std::string fault;
      if (entry.id >= kPatternTextFirst && entry.id <= kPatternTextLast && !IsPatternText(entry.text, &fault)) {
        problems->Add(table->path, entry.line, TextLabel(entry.id) + ": search pattern " + fault);
      }
      if (entry.id == kTextPackageLangId) {
        const bool hex = !entry.text.empty() && entry.text.size() <= 4 &&
                         std::all_of(entry.text.begin(), entry.text.end(),
                                     [](char c) { return isxdigit(static_cast<unsigned char>(c)) != 0; });
        if (!hex) {
          problems->Add(table->path, entry.line,
                        TextLabel(entry.id) + ": the package's language identifier must be 1 to 4 hexadecimal digits, not \"" +
                            DisplayText(entry.text) + "\"");
        }
      }
    }
  }
}
