// What a keyboard layout library holds, without its pointers: the tables that KbdLayerDescriptor
// returns (KBDTABLES, demo/layouts/kbd_tables.h) and the resources beside them. The compiler
// builds one from a .klc file and emits it for every edition; the library reader reads one back
// from any edition, so that two libraries compare table by table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Special characters of the character tables.
constexpr uint16_t kCharNone = 0xF000;      // the shift state types nothing
constexpr uint16_t kCharDead = 0xF001;      // a dead key: the next record holds its character
constexpr uint16_t kCharLigature = 0xF002;  // several characters: the ligature table holds them

// Attributes of a character record.
constexpr uint8_t kCapsLock = 0x01;       // Caps Lock acts as Shift on the first two columns
constexpr uint8_t kCapsSeparate = 0x02;   // the next record holds what Caps Lock types (SGCap)
constexpr uint8_t kCapsLockAltGr = 0x04;  // Caps Lock acts as Shift on the AltGr columns too

// Flags of the virtual key of a scan code (high byte of the 16-bit entry).
constexpr uint16_t kKeyExtended = 0x0100;

// Modifier bits and the columns they select.
constexpr uint8_t kModShift = 0x01;
constexpr uint8_t kModCtrl = 0x02;
constexpr uint8_t kModAlt = 0x04;
constexpr uint8_t kColumnNone = 0x0F;

// fLocaleFlags: flags in the low word, the tables' version in the high word.
constexpr uint32_t kLocaleAltGr = 0x0001;      // right Alt acts as Ctrl+Alt
constexpr uint32_t kLocaleShiftLock = 0x0002;  // Shift cancels Caps Lock
constexpr uint32_t kLocaleLrmRlm = 0x0004;     // the direction marks LRM and RLM can be typed
constexpr uint32_t kTablesVersion = 0x00010000;

// Longest key name (UTF-16 units): far beyond any keyboard's, and a bound for readers.
constexpr size_t kMaxKeyName = 255;

// A dead key's entry: the dead key's character and a base give the composed one.
constexpr uint16_t kDeadChained = 0x0001;  // the composed character is itself a dead key

struct VkToBit {
  uint8_t vk;
  uint8_t bits;
  bool operator==(const VkToBit& o) const { return vk == o.vk && bits == o.bits; }
};

struct CharRecord {
  uint8_t vk = 0;
  uint8_t attributes = 0;
  std::vector<uint16_t> chars;  // one per column of its table
  bool operator==(const CharRecord& o) const { return vk == o.vk && attributes == o.attributes && chars == o.chars; }
};

struct CharTable {
  unsigned columns = 0;
  std::vector<CharRecord> records;  // a dead key's and an SGCap key's extra records included
  bool operator==(const CharTable& o) const { return columns == o.columns && records == o.records; }
};

struct DeadKeyEntry {
  uint16_t accent;  // the dead key's character
  uint16_t base;
  uint16_t composed;
  uint16_t flags;
  bool operator==(const DeadKeyEntry& o) const {
    return accent == o.accent && base == o.base && composed == o.composed && flags == o.flags;
  }
};

struct KeyName {
  uint8_t scan;
  std::u16string name;
  bool operator==(const KeyName& o) const { return scan == o.scan && name == o.name; }
};

struct ScanVk {
  uint8_t scan;
  uint16_t vk;  // with its flags
  bool operator==(const ScanVk& o) const { return scan == o.scan && vk == o.vk; }
};

struct Ligature {
  uint8_t vk;
  uint16_t column;
  std::vector<uint16_t> chars;  // padded with kCharNone to the table's width
  bool operator==(const Ligature& o) const { return vk == o.vk && column == o.column && chars == o.chars; }
};

struct LayoutModel {
  std::vector<VkToBit> vkToBits;
  std::vector<uint8_t> columnOfBits;  // ModNumber[0..wMaxModBits]
  std::vector<CharTable> charTables;
  std::vector<DeadKeyEntry> deadKeys;  // none: the tables hold a null pointer
  std::vector<KeyName> keyNames;
  std::vector<KeyName> keyNamesExt;
  std::vector<std::u16string> deadKeyNames;  // each starts with its dead key's character
  std::vector<uint16_t> scanCodes;           // virtual key (and flags) by scan code
  std::vector<ScanVk> e0;
  std::vector<ScanVk> e1;
  uint32_t localeFlags = 0;
  unsigned ligatureWidth = 0;  // nLgMax; 0 with no ligatures
  std::vector<Ligature> ligatures;
  uint32_t type = 0;
  uint32_t subType = 0;
};

// The resources that go with the tables: string 1000 names the layout (in the registry's
// "Layout Display Name"), 1100 its language, 1200 its locale; the version information (in
// English).
constexpr uint32_t kResourceStrings = 6;  // resource types
constexpr uint32_t kResourceVersion = 16;
constexpr uint16_t kStringLayoutName = 1000, kStringLanguageName = 1100, kStringLocaleName = 1200;
constexpr uint16_t kLanguageEnglish = 0x0409;

struct ResourceString {
  uint16_t language;
  uint16_t id;
  std::u16string text;
};

struct LayoutResources {
  std::vector<ResourceString> strings;
  // The file version: major, minor, build, revision; the version strings: name, value.
  uint16_t version[4] = {};
  std::vector<std::pair<std::u16string, std::u16string>> versionStrings;
};
