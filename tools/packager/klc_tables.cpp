#include "tools/packager/klc_tables.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "tools/packager/base_layout.h"
#include "tools/packager/virtual_keys.h"

namespace {

constexpr uint8_t kContinuation = 0xFF;  // the virtual key of a record that belongs to the one before

std::string Line(const KlcPlace& at) { return "line " + std::to_string(at.line); }

std::string KeyText(uint8_t vk) {
  const std::string name = VirtualKeyName(vk);
  return "virtual key " + (name.empty() ? HexNumber(vk, 2) : name);
}

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class Builder {
 public:
  Builder(const KlcSource& source, LayoutModel* tables, LayoutResources* resources, Problems* problems)
      : m_s(source), m_t(tables), m_r(resources), m_problems(problems) {}

  bool Build() {
    const size_t before = m_problems->Count();
    *m_t = LayoutModel();
    *m_r = LayoutResources();
    if (!Sections()) return false;
    ShiftStates();
    ScanCodes();
    Characters();
    DeadKeys();
    Ligatures();
    Names();
    Resources();
    return m_problems->Count() == before;
  }

 private:
  void Fault(const KlcPlace& at, const std::string& what) { m_problems->AddAt(m_s.path, at.line, at.column, what); }

  bool Sections() {
    const struct {
      const KlcPlace& at;
      KlcPlace reported;
      const char* what;
    } kRequired[] = {
        {m_s.kbd, {1, 1}, "the KBD line (the library's name and description) is missing"},
        {m_s.shiftStateAt, {1, 1}, "the SHIFTSTATE section is missing"},
        {m_s.layoutAt, {1, 1}, "the LAYOUT section is missing"},
        {m_s.end, {m_s.lines, 1}, "ENDKBD is missing: the file may be cut short"},
    };
    bool ok = true;
    for (const auto& section : kRequired) {
      if (section.at.line != 0) continue;
      Fault(section.reported, section.what);
      ok = false;
    }
    return ok;
  }

  void ShiftStates() {
    m_t->vkToBits = {{0x10, kModShift}, {0x11, kModCtrl}, {0x12, kModAlt}};
    m_t->columnOfBits.assign(8, kColumnNone);
    bool altGr = false, base = false;
    for (size_t column = 0; column < m_s.shiftStates.size(); ++column) {
      const KlcShiftState& state = m_s.shiftStates[column];
      if (m_t->columnOfBits[state.bits] != kColumnNone) {
        Fault(state.at, "shift state " + std::to_string(state.bits) + " is given twice");
        continue;
      }
      m_t->columnOfBits[state.bits] = static_cast<uint8_t>(column);
      altGr = altGr || (state.bits & (kModCtrl | kModAlt)) == (kModCtrl | kModAlt);
      base = base || state.bits == 0;
    }
    if (!base) Fault(m_s.shiftStateAt, "shift state 0 (no modifier) is missing");
    m_columns = static_cast<unsigned>(m_s.shiftStates.size());
    m_t->localeFlags = kTablesVersion | m_s.attributes | (altGr ? kLocaleAltGr : 0);
  }

  // The base's entries, the layout's keys put in: a key keeps its entry (and its flags) when the
  // layout gives it the same virtual key, or the one the keypad key has with Num Lock on.
  void ScanCodes() {
    m_t->scanCodes.assign(kBaseScanCode, kBaseScanCode + kBaseScanCodes);
    m_t->e0 = kBaseE0;
    m_t->e1 = kBaseE1;
    std::map<unsigned, KlcPlace> seen;
    for (const KlcKey& key : m_s.keys) {
      const unsigned code = key.prefix << 8 | key.scan;
      auto [it, first] = seen.emplace(code, key.at);
      if (!first) {
        Fault(key.at, "scan code " + HexNumber(code, key.prefix ? 4 : 2) + " is given twice (first on " +
                          Line(it->second) + ")");
        continue;
      }
      if (key.prefix == 0) {
        if (key.scan >= m_t->scanCodes.size()) m_t->scanCodes.resize(key.scan + 1u, 0x00FF);
        uint16_t& entry = m_t->scanCodes[key.scan];
        if ((entry & 0xFF) != key.vk && KeypadVirtualKey(key.scan) != key.vk) entry = key.vk;
        continue;
      }
      std::vector<ScanVk>& list = key.prefix == 0xE0 ? m_t->e0 : m_t->e1;
      const uint16_t flags = key.prefix == 0xE0 ? kKeyExtended : 0;
      auto found = std::find_if(list.begin(), list.end(), [&](const ScanVk& e) { return e.scan == key.scan; });
      if (found == list.end()) {
        list.push_back({key.scan, static_cast<uint16_t>(key.vk | flags)});
      } else if ((found->vk & 0xFF) != key.vk) {
        found->vk = static_cast<uint16_t>(key.vk | flags);
      }
    }
  }

  uint16_t Stored(const KlcChar& c) {
    switch (c.kind) {
      case KlcChar::kNone:
        return kCharNone;
      case KlcChar::kChar:
        return c.value;
      case KlcChar::kDead:
        return kCharDead;
      case KlcChar::kLigature:
        return kCharLigature;
    }
    return kCharNone;
  }

  // A key's record, then its dead keys' characters in a record of their own.
  void Records(uint8_t vk, uint8_t attributes, const std::vector<KlcChar>& chars, CharTable* table) {
    CharRecord record{vk, attributes, {}}, dead{kContinuation, 0, std::vector<uint16_t>(m_columns, kCharNone)};
    bool hasDead = false;
    for (size_t column = 0; column < chars.size(); ++column) {
      record.chars.push_back(Stored(chars[column]));
      if (chars[column].kind != KlcChar::kDead) continue;
      dead.chars[column] = chars[column].value;
      hasDead = true;
      if (std::find(m_accents.begin(), m_accents.end(), chars[column].value) == m_accents.end()) {
        m_accents.push_back(chars[column].value);
        m_accentAt.push_back(chars[column].at);
      }
    }
    table->records.push_back(record);
    if (hasDead) table->records.push_back(dead);
  }

  bool SameCharacters(const KlcKey& a, const KlcKey& b) {
    const auto same = [&](const std::vector<KlcChar>& x, const std::vector<KlcChar>& y) {
      return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                        [&](const KlcChar& p, const KlcChar& q) { return p.kind == q.kind && p.value == q.value; });
    };
    return a.caps == b.caps && a.sgcaps == b.sgcaps && same(a.chars, b.chars) && same(a.capsChars, b.capsChars);
  }

  bool Valid(const KlcKey& key) {
    if (key.chars.size() != m_columns || (key.sgcaps && key.capsChars.size() != m_columns)) {
      const size_t given = key.chars.size() == m_columns ? key.capsChars.size() : key.chars.size();
      Fault(key.at, std::to_string(m_columns) + " shift states need " + std::to_string(m_columns) +
                        " characters; the row gives " + std::to_string(given));
      return false;
    }
    const auto any = [](const std::vector<KlcChar>& chars, KlcChar::Kind kind) {
      return std::any_of(chars.begin(), chars.end(), [&](const KlcChar& c) { return c.kind == kind; });
    };
    if (key.sgcaps && (any(key.chars, KlcChar::kDead) || any(key.capsChars, KlcChar::kDead))) {
      Fault(key.at, "an SGCap key cannot have dead keys: the record after it holds what Caps Lock types");
      return false;
    }
    if (any(key.capsChars, KlcChar::kLigature)) {
      Fault(key.at, "what Caps Lock types on an SGCap key cannot be a ligature: its record has no virtual key");
      return false;
    }
    return true;
  }

  void Fixed(const std::vector<FixedKeys>& groups, const std::set<uint8_t>& given) {
    for (const FixedKeys& group : groups) {
      CharTable table;
      for (const FixedKey& key : group.keys) {
        if (given.count(key.vk)) continue;
        CharRecord record{key.vk, 0, std::vector<uint16_t>(m_columns, kCharNone)};
        for (unsigned column = 0; column < m_columns; ++column) {
          const unsigned state = m_s.shiftStates[column].bits;
          if (state >= group.states) continue;
          record.chars[column] = key.chars[state];
          table.columns = std::max(table.columns, column + 1);
        }
        table.records.push_back(record);
      }
      if (table.records.empty() || table.columns == 0) continue;
      for (CharRecord& record : table.records) record.chars.resize(table.columns);
      m_t->charTables.push_back(std::move(table));
    }
  }

  void Characters() {
    CharTable layout;
    layout.columns = m_columns;
    std::map<uint8_t, const KlcKey*> byKey;
    std::set<uint8_t> given;
    for (const KlcKey& key : m_s.keys) {
      if (!Valid(key)) continue;
      auto [it, first] = byKey.emplace(key.vk, &key);
      if (!first) {
        if (!SameCharacters(key, *it->second)) {
          Fault(key.at, KeyText(key.vk) + " types other characters on " + Line(it->second->at) +
                            "; one virtual key types one set of characters");
        }
        continue;
      }
      given.insert(key.vk);
      Records(key.vk, static_cast<uint8_t>(key.caps | (key.sgcaps ? kCapsSeparate : 0)), key.chars, &layout);
      if (key.sgcaps) Records(kContinuation, 0, key.capsChars, &layout);
    }
    m_keys = byKey;
    Fixed(kFixedBefore, given);
    if (!layout.records.empty()) m_t->charTables.push_back(std::move(layout));
    Fixed(kFixedAfter, given);
  }

  // Tables in the order the layout first types their dead keys, then the others as the file
  // gives them (reached only through a dead key that composes another).
  void DeadKeys() {
    std::map<uint16_t, const KlcDeadKey*> tables;
    for (const KlcDeadKey& dead : m_s.deadKeys) {
      auto [it, first] = tables.emplace(dead.accent, &dead);
      if (!first)
        Fault(dead.at, "a second DEADKEY table for U+" + HexNumber(dead.accent, 4) + " (the first on " +
                           Line(it->second->at) + ")");
    }
    for (size_t i = 0; i < m_accents.size(); ++i) {
      if (!tables.count(m_accents[i]))
        Fault(m_accentAt[i], "dead key U+" + HexNumber(m_accents[i], 4) + " has no DEADKEY table");
    }
    for (const KlcDeadKey& dead : m_s.deadKeys) {
      if (std::find(m_accents.begin(), m_accents.end(), dead.accent) == m_accents.end())
        m_accents.push_back(dead.accent);
    }
    for (uint16_t accent : m_accents) {
      auto table = tables.find(accent);
      if (table == tables.end()) continue;
      std::set<uint16_t> bases;
      for (const KlcDeadEntry& entry : table->second->entries) {
        if (!bases.insert(entry.base).second) {
          Fault(entry.at, "U+" + HexNumber(entry.base, 4) + " is given twice in dead key U+" + HexNumber(accent, 4));
        }
        if (entry.chained && !tables.count(entry.composed)) {
          Fault(entry.at, "dead key U+" + HexNumber(entry.composed, 4) + " has no DEADKEY table");
        }
        m_t->deadKeys.push_back({accent, entry.base, entry.composed, entry.chained ? kDeadChained : uint16_t(0)});
      }
    }
  }

  void Ligatures() {
    std::map<std::pair<uint8_t, unsigned>, const KlcLigature*> rows;
    for (const KlcLigature& ligature : m_s.ligatures) {
      const auto key = m_keys.find(ligature.vk);
      const bool marked = key != m_keys.end() && ligature.column < m_columns &&
                          key->second->chars[ligature.column].kind == KlcChar::kLigature;
      if (!marked) {
        Fault(ligature.at, KeyText(ligature.vk) + " has no %% in column " + std::to_string(ligature.column) +
                               " of LAYOUT for this ligature");
      } else if (!rows.emplace(std::make_pair(ligature.vk, ligature.column), &ligature).second) {
        Fault(ligature.at,
              "a second ligature for " + KeyText(ligature.vk) + " in column " + std::to_string(ligature.column));
      } else if (ligature.chars.size() > kMaxLigatureChars) {
        Fault(ligature.at, "a ligature of " + std::to_string(ligature.chars.size()) +
                               " characters is too long: at most " + std::to_string(kMaxLigatureChars));
      } else {
        m_t->ligatureWidth = std::max<unsigned>(m_t->ligatureWidth, static_cast<unsigned>(ligature.chars.size()));
      }
    }
    for (const auto& [vk, key] : m_keys) {
      for (size_t column = 0; column < key->chars.size(); ++column) {
        if (key->chars[column].kind == KlcChar::kLigature && !rows.count(std::make_pair(vk, unsigned(column)))) {
          Fault(key->chars[column].at,
                "%% without its LIGATURE row (" + KeyText(vk) + ", column " + std::to_string(column) + ")");
        }
      }
    }
    for (const KlcLigature& ligature : m_s.ligatures) {
      Ligature stored{ligature.vk, static_cast<uint16_t>(ligature.column), ligature.chars};
      stored.chars.resize(m_t->ligatureWidth, kCharNone);
      m_t->ligatures.push_back(std::move(stored));
    }
  }

  void NameList(const std::vector<KlcName>& names, const char* section, std::vector<KeyName>* out) {
    std::map<uint16_t, KlcPlace> seen;
    for (const KlcName& name : names) {
      auto [it, first] = seen.emplace(name.code, name.at);
      if (!first) {
        Fault(name.at, std::string(section) + " " + HexNumber(name.code, 2) + " is given twice (first on " +
                           Line(it->second) + ")");
        continue;
      }
      out->push_back({static_cast<uint8_t>(name.code), name.name});
    }
  }

  // The dead keys' names go in the order of their tables; each begins with its character.
  void Names() {
    NameList(m_s.keyNames, "KEYNAME", &m_t->keyNames);
    NameList(m_s.keyNamesExt, "KEYNAME_EXT", &m_t->keyNamesExt);
    std::vector<uint16_t> order = m_accents;
    for (const KlcName& name : m_s.deadKeyNames) {
      if (std::find(order.begin(), order.end(), name.code) == order.end()) order.push_back(name.code);
    }
    std::map<uint16_t, KlcPlace> seen;
    for (const KlcName& name : m_s.deadKeyNames) {
      if (!seen.emplace(name.code, name.at).second)
        Fault(name.at, "KEYNAME_DEAD U+" + HexNumber(name.code, 4) + " is given twice");
    }
    for (uint16_t accent : order) {
      for (const KlcName& name : m_s.deadKeyNames) {
        if (name.code != accent) continue;
        m_t->deadKeyNames.push_back(std::u16string(1, static_cast<char16_t>(accent)) + name.name);
        break;
      }
    }
  }

  // String 1000 in English and in every language the file describes the layout in, 1100 and
  // 1200 where the file names the language and the locale; the version information in English.
  void Resources() {
    std::set<uint16_t> languages = {kLanguageEnglish};
    for (const KlcText& text : m_s.descriptions) languages.insert(text.language);
    for (const KlcText& text : m_s.languageNames) languages.insert(text.language);
    const auto find = [](const std::vector<KlcText>& texts, uint16_t language) -> const std::u16string* {
      for (const KlcText& text : texts) {
        if (text.language == language) return &text.text;
      }
      return nullptr;
    };
    for (uint16_t language : languages) {
      const std::u16string* description = find(m_s.descriptions, language);
      m_r->strings.push_back({language, kStringLayoutName, description ? *description : m_s.description});
      if (const std::u16string* name = find(m_s.languageNames, language)) {
        m_r->strings.push_back({language, kStringLanguageName, *name});
      }
      if (!m_s.localeName.empty()) m_r->strings.push_back({language, kStringLocaleName, m_s.localeName});
    }
    // A string table holds no empty string (its length 0 marks an absent one); in the order of
    // the resource tree: by block of 16 strings, then language.
    m_r->strings.erase(std::remove_if(m_r->strings.begin(), m_r->strings.end(),
                                      [](const ResourceString& s) { return s.text.empty(); }),
                       m_r->strings.end());
    std::sort(m_r->strings.begin(), m_r->strings.end(), [](const ResourceString& a, const ResourceString& b) {
      return std::make_tuple(a.id / 16, a.language, a.id) < std::make_tuple(b.id / 16, b.language, b.id);
    });
    const std::u16string version = Utf16(std::to_string(m_s.version[0]) + "." + std::to_string(m_s.version[1]));
    m_r->version[0] = m_s.version[0];
    m_r->version[1] = m_s.version[1];
    const std::pair<const char16_t*, std::u16string> strings[] = {
        {u"CompanyName", m_s.company},      {u"FileDescription", m_s.description + u" Keyboard Layout"},
        {u"FileVersion", version},          {u"InternalName", Utf16(m_s.name)},
        {u"LegalCopyright", m_s.copyright}, {u"OriginalFilename", Utf16(m_s.name + ".dll")},
        {u"ProductName", m_s.description},  {u"ProductVersion", version},
    };
    for (const auto& entry : strings) {
      if (!entry.second.empty()) m_r->versionStrings.push_back({entry.first, entry.second});
    }
  }

  const KlcSource& m_s;
  LayoutModel* m_t;
  LayoutResources* m_r;
  Problems* m_problems;
  unsigned m_columns = 0;
  std::map<uint8_t, const KlcKey*> m_keys;  // the first key of each virtual key
  std::vector<uint16_t> m_accents;          // dead keys' characters, in the order of their tables
  std::vector<KlcPlace> m_accentAt;
};

}  // namespace

bool BuildLayout(const KlcSource& source, LayoutModel* tables, LayoutResources* resources, Problems* problems) {
  Builder builder(source, tables, resources, problems);
  return builder.Build();
}
