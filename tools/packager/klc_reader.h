// A .klc file, the source of a keyboard layout, read into its sections as written: UTF-16
// little-endian with a byte-order mark and CR LF (as the layout creator tool writes it) or UTF-8
// with LF (as generators and version control keep it). "//" starts a comment anywhere outside
// quotes, ";" at the start of a word too (a lone ";" in a character column is the character).
//
//   KBD name "description"          the library's file name (1-8 letters, digits, "_", "-")
//   COPYRIGHT "text"   COMPANY "text"   LOCALENAME "en-GB"   LOCALEID "00000809"
//   VERSION 1.0
//   ATTRIBUTES                      lines of ALTGR, SHIFTLOCK, LRM_RLM
//   SHIFTSTATE                      lines of modifier bits (Shift 1, Ctrl 2, Alt 4), one per
//                                   character column: 0, 1, 2, 3, 6 or 7
//   LAYOUT                          lines "scan vk caps char...": scan 2 hex digits (e0xx, e1xx
//                                   for the prefixed keys), vk a name of virtual_keys.h, caps 0,
//                                   1, 4, 5 or SGCap (then a line "-1 -1 0 char..." of what Caps
//                                   Lock types), a character as 4 hex digits or itself, "-1"
//                                   for none, "%%" for a ligature, "@" after it for a dead key
//   DEADKEY 02d8                    lines "base composed", "@" after a composed dead key
//   LIGATURE                        lines "vk column char..."
//   KEYNAME, KEYNAME_EXT            lines "scan name"
//   KEYNAME_DEAD                    lines "dead-character name"
//   DESCRIPTIONS, LANGUAGENAMES     lines "language text" (4 hex digits, the rest of the line)
//   ENDKBD
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/problems.h"

struct KlcPlace {
  int line = 0;
  int column = 0;
};

struct KlcChar {
  enum Kind { kNone, kChar, kDead, kLigature };
  Kind kind = kNone;
  uint16_t value = 0;
  KlcPlace at;
};

// A LAYOUT line.
struct KlcKey {
  KlcPlace at;         // of its scan code
  uint8_t prefix = 0;  // 0, 0xE0 or 0xE1
  uint8_t scan = 0;
  uint8_t vk = 0;
  uint8_t caps = 0;     // kCapsLock | kCapsLockAltGr
  bool sgcaps = false;  // capsChars holds what Caps Lock types
  std::vector<KlcChar> chars;
  std::vector<KlcChar> capsChars;
};

struct KlcDeadEntry {
  KlcPlace at;
  uint16_t base = 0;
  uint16_t composed = 0;
  bool chained = false;  // the composed character is itself a dead key
};

struct KlcDeadKey {
  KlcPlace at;
  uint16_t accent = 0;
  std::vector<KlcDeadEntry> entries;
};

struct KlcLigature {
  KlcPlace at;
  uint8_t vk = 0;
  unsigned column = 0;
  std::vector<uint16_t> chars;
};

struct KlcName {
  KlcPlace at;
  uint16_t code = 0;  // a scan code, or a dead key's character
  std::u16string name;
};

struct KlcText {
  KlcPlace at;
  uint16_t language = 0;
  std::u16string text;
};

struct KlcShiftState {
  KlcPlace at;
  uint8_t bits = 0;
};

struct KlcSource {
  std::string path;
  int lines = 0;
  KlcPlace kbd, shiftStateAt, layoutAt, end;  // line 0: the section is missing
  std::string name;
  std::u16string description, copyright, company, localeName;
  uint32_t localeId = 0;
  uint16_t version[2] = {1, 0};
  uint32_t attributes = 0;  // locale flags
  std::vector<KlcShiftState> shiftStates;
  std::vector<KlcKey> keys;
  std::vector<KlcDeadKey> deadKeys;
  std::vector<KlcLigature> ligatures;
  std::vector<KlcName> keyNames, keyNamesExt, deadKeyNames;
  std::vector<KlcText> descriptions, languageNames;
};

// Reads the file's sections. Every fault goes to problems as "file:line:column: what"; false
// when there was any. What the sections mean together (a dead key's table, a ligature's row,
// the sections a layout needs) is checked by BuildLayout (klc_tables.h).
bool ParseKlc(const std::string& path, const std::string& bytes, KlcSource* out, Problems* problems);
