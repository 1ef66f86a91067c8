#include "tools/packager/access_keys.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/key_table.h"
#include "strings/upper_case.h"
#include "tools/packager/utf.h"
#include "ui/control_tables.h"

namespace {

// The key a text gives its control, in upper case: the character after the first "&" that is
// not one of "&&" (a "&" shown), as the dialog manager reads it; 0 for none.
char32_t AccessKey(const std::string& utf8) {
  std::u32string text;
  if (!DecodeUtf8(utf8, &text, nullptr)) return 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    const char32_t key = text[i + 1];
    if (key != '&') return key < 0x10000 ? UpperCaseOf(static_cast<WChar>(key)) : key;
    ++i;
  }
  return 0;
}

std::string Quoted(char32_t key) {
  std::string out = "\"";
  AppendUtf8(key, &out);
  return out + "\"";
}

struct Found {
  const TextEntry* entry;
  const TextFile* table;
};

// The page's texts in the order of its tables, each once.
std::vector<uint32_t> TextsOf(const PageTexts& page) {
  std::vector<uint32_t> ids;
  std::set<uint32_t> seen;
  for (const ControlText* table : {page.table, page.formatted}) {
    for (; table && table->controlId; ++table)
      if (seen.insert(table->textId).second) ids.push_back(table->textId);
  }
  for (const KeyRow* row = page.rows; row && row->comboId; ++row) {
    const KeyEntry* key = FindDefaultKey(row->key);
    if (key && seen.insert(key->captionText).second) ids.push_back(key->captionText);
  }
  return ids;
}

void ReviewPage(const TableSet& tables, const PageTexts& page, int language, Problems* warnings) {
  std::map<char32_t, Found> owners;
  for (uint32_t id : TextsOf(page)) {
    Found found = {nullptr, nullptr};
    found.entry = LookupText(tables, language, id, &found.table);
    const char32_t key = found.entry ? AccessKey(found.entry->text) : 0;
    if (!key) continue;
    const auto owner = owners.emplace(key, found);
    if (owner.second) continue;
    const Found& first = owner.first->second;
    warnings->Add(found.table->path, found.entry->line,
                  "text " + std::to_string(id) + " (" + page.name + "): access key " + Quoted(key) +
                      " is also that of text " + std::to_string(first.entry->id) + " (" +
                      Where(first.table->path, first.entry->line) + "); give each control of a page a key of its own");
  }
}

}  // namespace

void ReviewAccessKeys(const TableSet& tables, Problems* warnings) {
  std::set<uint32_t> compared;
  for (const PageTexts* page = kPageTexts; page->name; ++page) {
    for (int language = 0; language < 2; ++language) ReviewPage(tables, *page, language, warnings);
    for (uint32_t id : TextsOf(*page)) {
      if (!compared.insert(id).second) continue;
      Found in[2];
      for (int language = 0; language < 2; ++language)
        in[language].entry = LookupText(tables, language, id, &in[language].table);
      if (!in[0].entry || !in[1].entry) continue;
      const char32_t keys[2] = {AccessKey(in[0].entry->text), AccessKey(in[1].entry->text)};
      if (!keys[0] == !keys[1]) continue;
      const int without = keys[0] ? 1 : 0;
      warnings->Add(in[without].table->path, in[without].entry->line,
                    "text " + std::to_string(id) + " (" + page->name + "): no access key here, but " +
                        Quoted(keys[1 - without]) + " in " +
                        Where(in[1 - without].table->path, in[1 - without].entry->line) +
                        "; give its control a key in every language");
    }
  }
}
