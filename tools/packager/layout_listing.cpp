#include "tools/packager/layout_listing.h"

#include "tools/packager/problems.h"
#include "tools/packager/utf.h"
#include "tools/packager/virtual_keys.h"

namespace {

// "U+00E1 "á"", or just the code for what does not print.
std::string Char(uint16_t unit) {
  std::string out = "U+" + HexNumber(unit, 4);
  const char16_t c = static_cast<char16_t>(unit);
  if (unit >= 0x20 && unit != 0x7F && (unit < 0xD800 || unit > 0xDFFF)) out += " \"" + DisplayUtf16(&c, 1) + "\"";
  return out;
}

std::string Key(uint16_t vk) {
  const std::string name = VirtualKeyName(static_cast<uint8_t>(vk));
  return (name.empty() ? "VK" : name) + " (" + HexNumber(vk & 0xFF, 2) + ")";
}

// A scan code's virtual key with the flags of its entry.
std::string ScanEntry(uint16_t entry) {
  if ((entry & 0xFF) == 0xFF) return "none";
  std::string out = Key(entry & 0xFF);
  static const struct {
    uint16_t bit;
    const char* name;
  } kFlags[] = {{0x0100, "extended"}, {0x0200, "multi"}, {0x0400, "special"}, {0x0800, "keypad"}};
  for (const auto& flag : kFlags) {
    if (entry & flag.bit) out += " " + std::string(flag.name);
  }
  if (entry & 0xF000) out += " flags " + HexNumber(entry >> 12, 1);
  return out;
}

std::string ModifierNames(unsigned bits) {
  if (bits == 0) return "base";
  std::string out;
  static const char* const kNames[] = {"Shift", "Ctrl", "Alt", "Kana", "Mod4", "Mod5", "Mod6", "Mod7"};
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (bits & (1u << bit)) out += (out.empty() ? "" : "+") + std::string(kNames[bit]);
  }
  return out;
}

std::string Text(const std::u16string& text) { return DisplayUtf16(text.data(), text.size()); }

class Listing {
 public:
  explicit Listing(const LayoutLibrary& library) : m_l(library), m_t(library.tables) {}

  std::string Make() {
    Line(std::string("layout library, ") + LayoutEditionName(m_l.edition) + " edition (machine " +
         HexNumber(m_l.machine, 4) + ", " + std::to_string(8 * m_l.pointerSize) + "-bit pointers), checksum " +
         (m_l.checksumValid ? "valid" : "invalid"));
    Header();
    for (size_t scan = 0; scan < m_t.scanCodes.size(); ++scan) {
      Line("scan " + HexNumber(static_cast<unsigned>(scan), 2) + ": " + ScanEntry(m_t.scanCodes[scan]));
    }
    for (const ScanVk& entry : m_t.e0) Line("scan E0 " + HexNumber(entry.scan, 2) + ": " + ScanEntry(entry.vk));
    for (const ScanVk& entry : m_t.e1) Line("scan E1 " + HexNumber(entry.scan, 2) + ": " + ScanEntry(entry.vk));
    for (const CharTable& table : m_t.charTables) Keys(table);
    for (const DeadKeyEntry& d : m_t.deadKeys) {
      Line("dead key " + Char(d.accent) + " then " + Char(d.base) + ": " + Char(d.composed) +
           (d.flags & kDeadChained ? " (a dead key)" : "") +
           (d.flags & ~kDeadChained ? " flags " + HexNumber(d.flags, 4) : ""));
    }
    for (const KeyName& name : m_t.keyNames) Line("name " + HexNumber(name.scan, 2) + ": " + Text(name.name));
    for (const KeyName& name : m_t.keyNamesExt) Line("name E0 " + HexNumber(name.scan, 2) + ": " + Text(name.name));
    for (const std::u16string& name : m_t.deadKeyNames) {
      Line("dead key name " + (name.empty() ? std::string("(empty)") : Char(name[0]) + ": " + Text(name.substr(1))));
    }
    Resources();
    return m_out;
  }

 private:
  void Line(const std::string& text) { m_out += text + "\n"; }

  void Header() {
    std::string flags;
    static const struct {
      uint32_t bit;
      const char* name;
    } kFlags[] = {
        {kLocaleAltGr, "AltGr"}, {kLocaleShiftLock, "Shift cancels Caps Lock"}, {kLocaleLrmRlm, "direction marks"}};
    for (const auto& flag : kFlags) {
      if (m_t.localeFlags & flag.bit) flags += (flags.empty() ? "" : ", ") + std::string(flag.name);
    }
    const uint32_t other = m_t.localeFlags & 0xFFF8;
    if (other) flags += (flags.empty() ? "" : ", ") + ("flags " + HexNumber(other, 4));
    Line("locale flags: " + (flags.empty() ? std::string("none") : flags) + "; tables version " +
         std::to_string(m_t.localeFlags >> 16));
    Line("keyboard type " + std::to_string(m_t.type) + ", subtype " + std::to_string(m_t.subType));
    std::string modifiers;
    for (const VkToBit& entry : m_t.vkToBits) {
      modifiers += (modifiers.empty() ? "" : ", ") + Key(entry.vk) + " " + ModifierNames(entry.bits);
    }
    Line("modifier keys: " + modifiers);
    std::string states;
    for (size_t bits = 0; bits < m_t.columnOfBits.size(); ++bits) {
      if (m_t.columnOfBits[bits] == kColumnNone) continue;
      states += (states.empty() ? "" : ", ") + ModifierNames(static_cast<unsigned>(bits)) + " (column " +
                std::to_string(m_t.columnOfBits[bits]) + ")";
    }
    Line("shift states: " + states);
    if (m_t.ligatureWidth) Line("ligatures: up to " + std::to_string(m_t.ligatureWidth) + " characters");
  }

  // What a record types in each shift state; `next` is the record after it (a dead key's).
  std::string Typed(const CharTable& table, const CharRecord& record, const CharRecord* next) {
    std::string out;
    for (size_t bits = 0; bits < m_t.columnOfBits.size(); ++bits) {
      const unsigned column = m_t.columnOfBits[bits];
      if (column == kColumnNone || column >= table.columns || record.chars[column] == kCharNone) continue;
      const uint16_t c = record.chars[column];
      std::string typed;
      if (c == kCharDead) {
        typed = next ? "dead " + Char(next->chars[column]) : "dead, without its record";
      } else if (c == kCharLigature) {
        typed = "ligature" + LigatureOf(record.vk, column);
      } else {
        typed = Char(c);
      }
      out += (out.empty() ? " " : ", ") + ModifierNames(static_cast<unsigned>(bits)) + " " + typed;
    }
    return out.empty() ? " nothing" : out;
  }

  std::string LigatureOf(uint8_t vk, unsigned column) {
    for (const Ligature& ligature : m_t.ligatures) {
      if (ligature.vk != vk || ligature.column != column) continue;
      std::string out;
      for (uint16_t c : ligature.chars) {
        if (c != kCharNone) out += " " + Char(c);
      }
      return out;
    }
    return " missing";
  }

  static bool HasDead(const CharRecord& record) {
    for (uint16_t c : record.chars) {
      if (c == kCharDead) return true;
    }
    return false;
  }

  // A key's records as the system reads them: a dead key's character, and what Caps Lock
  // types on an SGCap key, are in the record that follows.
  void Keys(const CharTable& table) {
    const std::vector<CharRecord>& r = table.records;
    for (size_t i = 0; i < r.size(); ++i) {
      std::string caps;
      if (r[i].attributes & kCapsLock) caps += " caps";
      if (r[i].attributes & kCapsLockAltGr) caps += " altgr-caps";
      if (r[i].attributes & ~(kCapsLock | kCapsLockAltGr | kCapsSeparate))
        caps += " attributes " + HexNumber(r[i].attributes, 2);
      Line("key " + Key(r[i].vk) + caps + ":" + Typed(table, r[i], i + 1 < r.size() ? &r[i + 1] : nullptr));
      size_t last = HasDead(r[i]) ? i + 1 : i;
      if ((r[i].attributes & kCapsSeparate) && i + 1 < r.size()) {
        last = i + 1;
        Line("key " + Key(r[i].vk) +
             " with Caps Lock:" + Typed(table, r[last], last + 1 < r.size() ? &r[last + 1] : nullptr));
        if (HasDead(r[last])) ++last;
      }
      i = last;
    }
  }

  void Resources() {
    const LayoutResources& res = m_l.resources;
    for (const ResourceString& s : res.strings) {
      Line("string " + std::to_string(s.id) + " (language " + HexNumber(s.language, 4) + "): " + Text(s.text));
    }
    if (res.version[0] || res.version[1] || res.version[2] || res.version[3] || !res.versionStrings.empty()) {
      Line("version " + std::to_string(res.version[0]) + "." + std::to_string(res.version[1]) + "." +
           std::to_string(res.version[2]) + "." + std::to_string(res.version[3]));
    }
    for (const auto& entry : res.versionStrings) Line("version " + Text(entry.first) + ": " + Text(entry.second));
  }

  const LayoutLibrary& m_l;
  const LayoutModel& m_t;
  std::string m_out;
};

}  // namespace

std::string LayoutListing(const LayoutLibrary& library) { return Listing(library).Make(); }
