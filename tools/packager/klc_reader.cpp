#include "tools/packager/klc_reader.h"

#include <cctype>
#include <cstdio>

#include "tools/packager/layout_model.h"
#include "tools/packager/utf.h"
#include "tools/packager/virtual_keys.h"

namespace {

constexpr size_t kMaxProblems = 50;
constexpr size_t kMaxNameLength = 8;
constexpr size_t kMaxText = 1024;  // UTF-16 units of a description, copyright or company

struct Token {
  std::u32string text;
  int column = 0;  // 1-based, in characters
  bool quoted = false;
};

struct Line {
  int number = 0;
  std::u32string text;
  std::vector<Token> tokens;
};

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0xFEFF; }

std::string Narrow(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) AppendUtf8(c, &out);
  return out;
}

// The place of the character after `text`, for a message.
KlcPlace PlaceAfter(const std::u32string& text) {
  KlcPlace place{1, 1};
  for (char32_t c : text) {
    place.column = c == '\n' ? 1 : place.column + 1;
    place.line += c == '\n';
  }
  return place;
}

// The file's characters, from UTF-16 (by its byte-order mark) or UTF-8. False with *bad at the
// first character that is not well formed.
bool DecodeText(const std::string& bytes, std::u32string* out, KlcPlace* bad) {
  const auto byte = [&](size_t i) { return static_cast<char32_t>(static_cast<uint8_t>(bytes[i])); };
  const bool little = bytes.compare(0, 2, "\xFF\xFE") == 0;
  if (!little && bytes.compare(0, 2, "\xFE\xFF") != 0) {
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t offset = 0;
    if (DecodeUtf8(std::string_view(bytes).substr(start), out, &offset)) return true;
    DecodeUtf8(std::string_view(bytes).substr(start, offset), out, nullptr);
    *bad = PlaceAfter(*out);
    return false;
  }
  const auto unit = [&](size_t i) { return little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1); };
  size_t i = 2;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t high = unit(i);
    if (high >= 0xDC00 && high <= 0xDFFF) break;
    if (high < 0xD800 || high > 0xDBFF) {
      out->push_back(high);
      continue;
    }
    const char32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
    if (low < 0xDC00 || low > 0xDFFF) break;
    out->push_back(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
    i += 2;
  }
  if (i == bytes.size()) return true;
  *bad = PlaceAfter(*out);
  return false;
}

// Words, texts in quotes and the comments that end a line.
bool Tokenize(Line* line, std::string* fault, int* column) {
  const std::u32string& t = line->text;
  for (size_t i = 0; i < t.size();) {
    if (IsBlank(t[i])) {
      ++i;
      continue;
    }
    if (t.compare(i, 2, U"//") == 0) return true;
    if (t[i] == ';' && i + 1 < t.size() && !IsBlank(t[i + 1])) return true;
    Token token;
    token.column = static_cast<int>(i) + 1;
    if (t[i] == '"') {
      const size_t close = t.find('"', i + 1);
      if (close == std::u32string::npos) {
        *fault = "a text in quotes without its closing quote";
        *column = token.column;
        return false;
      }
      token.text = t.substr(i + 1, close - i - 1);
      token.quoted = true;
      i = close + 1;
    } else {
      const size_t start = i;
      while (i < t.size() && !IsBlank(t[i]) && t.compare(i, 2, U"//") != 0) ++i;
      token.text = t.substr(start, i - start);
    }
    line->tokens.push_back(std::move(token));
  }
  return true;
}

bool Hex(const std::u32string& text, size_t digits, uint32_t* value) {
  if (text.size() != digits) return false;
  *value = 0;
  for (char32_t c : text) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    *value = *value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

enum class Section {
  kNone,
  kAttributes,
  kShiftState,
  kLayout,
  kDeadKey,
  kLigature,
  kKeyName,
  kKeyNameExt,
  kKeyNameDead,
  kDescriptions,
  kLanguageNames,
  kEnd
};

class KlcParser {
 public:
  KlcParser(const std::string& path, KlcSource* out, Problems* problems)
      : m_path(path), m_out(out), m_problems(problems) {}

  bool Parse(const std::string& bytes);

 private:
  void Fault(int line, int column, const std::string& what) {
    if (++m_faults <= kMaxProblems) m_problems->AddAt(m_path, line, column, what);
  }
  void Fault(const Line& line, const Token& token, const std::string& what) { Fault(line.number, token.column, what); }
  KlcPlace At(const Line& line, const Token& token) const { return {line.number, token.column}; }

  bool Keyword(const Line& line);
  void Row(const Line& line);
  void LayoutRow(const Line& line);
  void DeadKeyRow(const Line& line);
  void LigatureRow(const Line& line);
  void NameRow(const Line& line, std::vector<KlcName>* out, bool dead);
  void TextRow(const Line& line, std::vector<KlcText>* out);

  // The words after a keyword or in a row: exactly `count`, or at least `count` when `more`.
  bool Words(const Line& line, size_t count, bool more, const char* what);
  bool Quoted(const Line& line, const Token& token, std::u16string* out, const char* what);
  bool Length(const Line& line, const Token& token, const std::u16string& text, size_t limit);
  bool Character(const Line& line, const Token& token, bool special, KlcChar* out);
  bool ScanCode(const Line& line, const Token& token, bool prefixes, uint8_t* prefix, uint8_t* scan);
  bool VirtualKey(const Line& line, const Token& token, uint8_t* vk);

  std::string m_path;
  KlcSource* m_out;
  Problems* m_problems;
  size_t m_faults = 0;
  Section m_section = Section::kNone;
  bool m_sgcapsNext = false;    // the last LAYOUT line was an SGCap key's
  bool m_sgcapsStored = false;  // and that key was read without a fault
  KlcPlace m_sgcapsAt;
};

bool KlcParser::Words(const Line& line, size_t count, bool more, const char* what) {
  size_t words = line.tokens.size();
  // A lone ";" ends a keyword line as a comment.
  for (size_t i = 1; i < line.tokens.size(); ++i) {
    if (!line.tokens[i].quoted && line.tokens[i].text == U";") words = std::min(words, i);
  }
  if (words == count || (more && words >= count)) return true;
  if (words < count) {
    Fault(line.number, static_cast<int>(line.text.size()) + 1, std::string(what));
  } else {
    Fault(line, line.tokens[count], std::string("more than ") + what);
  }
  return false;
}

bool KlcParser::Quoted(const Line& line, const Token& token, std::u16string* out, const char* what) {
  if (!token.quoted) {
    Fault(line, token, std::string(what) + " must be in quotes");
    return false;
  }
  *out = ToUtf16(token.text);
  return Length(line, token, *out, kMaxText);
}

bool KlcParser::Length(const Line& line, const Token& token, const std::u16string& text, size_t limit) {
  if (text.size() <= limit) return true;
  Fault(line, token,
        "a text of " + std::to_string(text.size()) + " characters is too long: at most " + std::to_string(limit));
  return false;
}

bool KlcParser::Character(const Line& line, const Token& token, bool special, KlcChar* out) {
  std::u32string text = token.text;
  *out = KlcChar();
  out->at = At(line, token);
  if (special && text == U"-1") return true;
  if (special && text == U"%%") {
    out->kind = KlcChar::kLigature;
    return true;
  }
  out->kind = KlcChar::kChar;
  if (special && text.size() > 1 && text.back() == '@') {
    out->kind = KlcChar::kDead;
    text.pop_back();
  }
  uint32_t value = 0;
  if (text.size() == 1) {
    value = text[0];
  } else if (!Hex(text, 4, &value)) {
    Fault(line, token,
          "\"" + Narrow(token.text) + "\" is no character: 4 hexadecimal digits or the character itself" +
              (special ? ", -1 for none, %% for a ligature, @ after a dead key's" : ""));
    return false;
  }
  if (value > 0xFFFF) {
    Fault(line, token, "a character above U+FFFF; give it as a ligature of its two UTF-16 units");
    return false;
  }
  if (value == 0 || (value >= kCharNone && value <= kCharLigature)) {
    Fault(line, token, "U+" + Narrow(text) + " cannot be typed: the tables use it as a mark (write -1 for none)");
    return false;
  }
  out->value = static_cast<uint16_t>(value);
  return true;
}

bool KlcParser::ScanCode(const Line& line, const Token& token, bool prefixes, uint8_t* prefix, uint8_t* scan) {
  uint32_t value = 0;
  *prefix = 0;
  if (prefixes && Hex(token.text, 4, &value) && (value >> 8 == 0xE0 || value >> 8 == 0xE1)) {
    *prefix = static_cast<uint8_t>(value >> 8);
    value &= 0xFF;
  } else if (!Hex(token.text, 2, &value)) {
    Fault(line, token,
          "\"" + Narrow(token.text) + "\" is no scan code: 2 hexadecimal digits" +
              (prefixes ? " (e0 or e1 before them for the prefixed keys)" : ""));
    return false;
  }
  if (value == 0 || (prefixes && value > 0x7F)) {
    Fault(line, token, "scan code " + Narrow(token.text) + " is no key (01-7f)");
    return false;
  }
  *scan = static_cast<uint8_t>(value);
  return true;
}

bool KlcParser::VirtualKey(const Line& line, const Token& token, uint8_t* vk) {
  if (VirtualKeyOfName(Narrow(token.text), vk)) return true;
  Fault(line, token, "unknown virtual key \"" + Narrow(token.text) + "\"");
  return false;
}

bool KlcParser::Keyword(const Line& line) {
  const Token& first = line.tokens[0];
  const std::string word = first.quoted ? "" : Narrow(first.text);
  static const struct {
    const char* word;
    Section section;
  } kSections[] = {
      {"ATTRIBUTES", Section::kAttributes},
      {"SHIFTSTATE", Section::kShiftState},
      {"LAYOUT", Section::kLayout},
      {"LIGATURE", Section::kLigature},
      {"KEYNAME", Section::kKeyName},
      {"KEYNAME_EXT", Section::kKeyNameExt},
      {"KEYNAME_DEAD", Section::kKeyNameDead},
      {"DESCRIPTIONS", Section::kDescriptions},
      {"LANGUAGENAMES", Section::kLanguageNames},
      {"ENDKBD", Section::kEnd},
  };
  for (const auto& entry : kSections) {
    if (word != entry.word) continue;
    m_section = entry.section;
    Words(line, 1, false, "nothing after the section's name");
    if (m_section == Section::kShiftState) m_out->shiftStateAt = At(line, first);
    if (m_section == Section::kLayout) m_out->layoutAt = At(line, first);
    if (m_section == Section::kEnd) m_out->end = At(line, first);
    return true;
  }
  // The one-line sections end the section before them.
  static const char* const kLines[] = {"KBD", "COPYRIGHT", "COMPANY", "LOCALENAME", "LOCALEID", "VERSION"};
  for (const char* keyword : kLines) {
    if (word == keyword) m_section = Section::kNone;
  }
  if (word == "KBD") {
    m_out->kbd = At(line, first);
    if (!Words(line, 3, false, "KBD, the library's name and its description in quotes")) return true;
    const Token& name = line.tokens[1];
    const std::string text = Narrow(name.text);
    bool valid = !name.quoted && !text.empty() && text.size() <= kMaxNameLength;
    for (char c : text) valid = valid && (isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-');
    if (!valid) Fault(line, name, "the library's name must be 1 to 8 letters, digits, \"_\" or \"-\"");
    m_out->name = text;
    if (Quoted(line, line.tokens[2], &m_out->description, "the description") && m_out->description.empty()) {
      Fault(line, line.tokens[2], "the description is empty: it is the layout's name in the system's list");
    }
    return true;
  }
  static const struct {
    const char* word;
    std::u16string KlcSource::*text;
  } kTexts[] = {
      {"COPYRIGHT", &KlcSource::copyright}, {"COMPANY", &KlcSource::company}, {"LOCALENAME", &KlcSource::localeName}};
  for (const auto& entry : kTexts) {
    if (word != entry.word) continue;
    if (Words(line, 2, false, "a text in quotes")) Quoted(line, line.tokens[1], &(m_out->*entry.text), entry.word);
    return true;
  }
  if (word == "LOCALEID") {
    uint32_t id = 0;
    if (Words(line, 2, false, "the locale identifier in quotes") &&
        (!line.tokens[1].quoted || !Hex(line.tokens[1].text, 8, &id))) {
      Fault(line, line.tokens[1], "the locale identifier must be 8 hexadecimal digits in quotes");
    }
    m_out->localeId = id;
    return true;
  }
  if (word == "VERSION") {
    if (!Words(line, 2, false, "the version, as 1.0")) return true;
    const std::string text = Narrow(line.tokens[1].text);
    unsigned major = 0, minor = 0;
    char rest = 0;
    if (sscanf(text.c_str(), "%5u.%5u%c", &major, &minor, &rest) != 2 || major > 0xFFFF || minor > 0xFFFF ||
        text.find_first_not_of("0123456789.") != std::string::npos) {
      Fault(line, line.tokens[1], "the version must be two numbers, as 1.0");
    }
    m_out->version[0] = static_cast<uint16_t>(major);
    m_out->version[1] = static_cast<uint16_t>(minor);
    return true;
  }
  if (word == "DEADKEY") {
    m_section = Section::kDeadKey;
    KlcDeadKey dead;
    dead.at = At(line, first);
    KlcChar accent;
    if (Words(line, 2, false, "the dead key's character") && Character(line, line.tokens[1], false, &accent)) {
      dead.accent = accent.value;
    }
    m_out->deadKeys.push_back(dead);
    return true;
  }
  return false;
}

void KlcParser::LayoutRow(const Line& line) {
  if (!Words(line, 3, true, "a scan code, a virtual key, the caps state and the characters")) return;
  const std::vector<Token>& t = line.tokens;
  const bool capsRow = t[0].text == U"-1" && t[1].text == U"-1";
  if (capsRow != m_sgcapsNext) {
    Fault(line, t[0],
          capsRow ? "a row of what Caps Lock types (-1 -1) without an SGCap key before it"
                  : "an SGCap key needs the row of what Caps Lock types after it (-1 -1 0 ...)");
    m_sgcapsNext = false;
    if (capsRow) return;
  }
  std::vector<KlcChar> chars;
  bool ok = true;
  for (size_t i = 3; i < t.size(); ++i) {
    KlcChar c;
    ok = Character(line, t[i], true, &c) && ok;
    chars.push_back(c);
  }
  if (capsRow) {
    m_sgcapsNext = false;
    if (t[2].text != U"0") Fault(line, t[2], "the caps state of a row of what Caps Lock types must be 0");
    if (ok && m_sgcapsStored) m_out->keys.back().capsChars = chars;
    return;
  }
  KlcKey key;
  key.at = At(line, t[0]);
  ok = ScanCode(line, t[0], true, &key.prefix, &key.scan) && ok;
  ok = VirtualKey(line, t[1], &key.vk) && ok;
  const std::string caps = Narrow(t[2].text);
  if (caps == "SGCap" || caps == "SGCAP" || caps == "sgcap") {
    key.sgcaps = true;
    m_sgcapsNext = true;
    m_sgcapsAt = key.at;
  } else if (caps == "0" || caps == "1" || caps == "4" || caps == "5") {
    key.caps = static_cast<uint8_t>(caps[0] - '0');
  } else {
    Fault(line, t[2],
          "the caps state must be 0, 1 (Caps Lock acts as Shift), 4 (on the AltGr columns), 5 (on "
          "both) or SGCap");
    ok = false;
  }
  key.chars = std::move(chars);
  m_sgcapsStored = ok;
  if (ok) m_out->keys.push_back(std::move(key));
}

void KlcParser::DeadKeyRow(const Line& line) {
  if (!Words(line, 2, false, "a base character and the composed one")) return;
  KlcChar base, composed;
  if (!Character(line, line.tokens[0], false, &base)) return;
  std::u32string composedText = line.tokens[1].text;
  Token composedToken = line.tokens[1];
  const bool chained = composedText.size() > 1 && composedText.back() == '@';
  if (chained) composedToken.text.pop_back();
  if (!Character(line, composedToken, false, &composed)) return;
  m_out->deadKeys.back().entries.push_back({At(line, line.tokens[0]), base.value, composed.value, chained});
}

void KlcParser::LigatureRow(const Line& line) {
  if (!Words(line, 3, true, "a virtual key, its column and the characters")) return;
  const std::vector<Token>& t = line.tokens;
  KlcLigature ligature;
  ligature.at = At(line, t[0]);
  uint32_t column = 0;
  bool ok = VirtualKey(line, t[0], &ligature.vk);
  if (!Hex(t[1].text, 1, &column) || column > 9) {
    Fault(line, t[1], "the column must be a number from 0 (the first shift state) to 9");
    ok = false;
  }
  ligature.column = column;
  for (size_t i = 2; i < t.size(); ++i) {
    KlcChar c;
    ok = Character(line, t[i], false, &c) && ok;
    ligature.chars.push_back(c.value);
  }
  if (ok) m_out->ligatures.push_back(std::move(ligature));
}

void KlcParser::NameRow(const Line& line, std::vector<KlcName>* out, bool dead) {
  if (!Words(line, 2, false, dead ? "the dead key's character and its name" : "a scan code and its name")) return;
  KlcName name;
  name.at = At(line, line.tokens[0]);
  uint8_t prefix = 0, scan = 0;
  KlcChar accent;
  if (dead ? !Character(line, line.tokens[0], false, &accent)
           : !ScanCode(line, line.tokens[0], false, &prefix, &scan)) {
    return;
  }
  name.code = dead ? accent.value : scan;
  name.name = ToUtf16(line.tokens[1].text);
  if (Length(line, line.tokens[1], name.name, kMaxKeyName)) out->push_back(std::move(name));
}

void KlcParser::TextRow(const Line& line, std::vector<KlcText>* out) {
  uint32_t language = 0;
  if (!Words(line, 2, true, "a language (4 hexadecimal digits) and a text")) return;
  if (!Hex(line.tokens[0].text, 4, &language)) {
    Fault(line, line.tokens[0], "the language must be 4 hexadecimal digits, as 0409");
    return;
  }
  std::u32string text = line.text.substr(static_cast<size_t>(line.tokens[1].column - 1));
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  const std::u16string units = ToUtf16(text);
  if (Length(line, line.tokens[1], units, kMaxText))
    out->push_back({At(line, line.tokens[0]), static_cast<uint16_t>(language), units});
}

void KlcParser::Row(const Line& line) {
  const Token& first = line.tokens[0];
  switch (m_section) {
    case Section::kAttributes: {
      static const struct {
        const char* word;
        uint32_t flag;
      } kAttributes[] = {{"ALTGR", kLocaleAltGr}, {"SHIFTLOCK", kLocaleShiftLock}, {"LRM_RLM", kLocaleLrmRlm}};
      for (const auto& attribute : kAttributes) {
        if (Narrow(first.text) != attribute.word) continue;
        if (Words(line, 1, false, "one attribute a line")) m_out->attributes |= attribute.flag;
        return;
      }
      Fault(line, first, "unknown attribute \"" + Narrow(first.text) + "\": ALTGR, SHIFTLOCK or LRM_RLM");
      return;
    }
    case Section::kShiftState: {
      uint32_t bits = 0;
      if (!Words(line, 1, false, "one shift state a line")) return;
      if (!Hex(first.text, 1, &bits) || bits > 9) {
        Fault(line, first, "a shift state is a number: Shift 1, Ctrl 2, Alt 4 added up");
      } else if (bits == 4 || bits == 5 || bits > 7) {
        Fault(line, first,
              "shift state " + Narrow(first.text) +
                  " is not allowed: Alt without Ctrl belongs to menus; 0, 1, 2, 3, 6 and 7 are");
      } else {
        m_out->shiftStates.push_back({At(line, first), static_cast<uint8_t>(bits)});
      }
      return;
    }
    case Section::kLayout:
      return LayoutRow(line);
    case Section::kDeadKey:
      return DeadKeyRow(line);
    case Section::kLigature:
      return LigatureRow(line);
    case Section::kKeyName:
      return NameRow(line, &m_out->keyNames, false);
    case Section::kKeyNameExt:
      return NameRow(line, &m_out->keyNamesExt, false);
    case Section::kKeyNameDead:
      return NameRow(line, &m_out->deadKeyNames, true);
    case Section::kDescriptions:
      return TextRow(line, &m_out->descriptions);
    case Section::kLanguageNames:
      return TextRow(line, &m_out->languageNames);
    case Section::kNone:
    case Section::kEnd:
      break;
  }
  Fault(line, first, "\"" + Narrow(first.text) + "\" is no section of a .klc file");
}

bool KlcParser::Parse(const std::string& bytes) {
  m_out->path = m_path;
  std::u32string text;
  KlcPlace bad;
  if (!DecodeText(bytes, &text, &bad)) {
    Fault(bad.line, bad.column, "not UTF-8, nor UTF-16 with a byte-order mark");
    return false;
  }
  // The tables end their texts with U+0000: one inside a name would cut it short.
  const size_t zero = text.find(U'\0');
  if (zero != std::u32string::npos) {
    bad = PlaceAfter(text.substr(0, zero));
    Fault(bad.line, bad.column, "U+0000 in the text");
    return false;
  }
  Line line;
  for (size_t start = 0; start < text.size() && m_section != Section::kEnd;) {
    size_t end = text.find('\n', start);
    if (end == std::u32string::npos) end = text.size();
    line.number++;
    line.text = text.substr(start, end - start);
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    line.tokens.clear();
    start = end + 1;
    std::string fault;
    int column = 0;
    if (!Tokenize(&line, &fault, &column)) {
      Fault(line.number, column, fault);
      continue;
    }
    if (line.tokens.empty()) continue;
    if (!Keyword(line)) Row(line);
  }
  m_out->lines = line.number;
  if (m_sgcapsNext) {
    Fault(m_sgcapsAt.line, m_sgcapsAt.column,
          "an SGCap key needs the row of what Caps Lock types after it (-1 -1 0 ...)");
  }
  return m_faults == 0;
}

}  // namespace

bool ParseKlc(const std::string& path, const std::string& bytes, KlcSource* out, Problems* problems) {
  *out = KlcSource();
  KlcParser parser(path, out, problems);
  return parser.Parse(bytes);
}
