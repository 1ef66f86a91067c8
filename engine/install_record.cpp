// The installation record under HKLM: read at start-up, written by the install procedure,
// removed in stages by the uninstall procedure.
//
// The record lives under the Software key, which a 32-bit process on 64-bit Windows reaches in
// its own (32-bit) view; every installer build is 32-bit, so all of them meet there.
#include <windows.h>

#include <cstdlib>
#include <initializer_list>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

constexpr REGSAM kRead = KEY_READ;    // 0x20019
constexpr REGSAM kWrite = KEY_WRITE;  // 0x20006
constexpr uint32_t kVersionMark = 190;     // this installer's mark in values 34, 28 and 39
constexpr uint32_t kEarlierInstaller = 130;

void Close(HKEY& key) {
  if (key) RegCloseKey(key);
  key = nullptr;
}

// The keys named by the texts, each below the one before, opened (or created) in turn; only the
// last stays open. Null when a level fails.
HKEY OpenLevels(CInstall& in, HKEY parent, std::initializer_list<uint32_t> texts, REGSAM access,
                bool create = false) {
  HKEY key = nullptr;
  for (uint32_t text : texts) {
    HKEY above = key ? key : parent;
    HKEY next = create ? in.CreateKey(above, text, access) : in.OpenKey(above, text, access);
    Close(key);
    if (!next) return nullptr;
    key = next;
  }
  return key;
}

// One value of the record as the reading takes it: a string or a DWORD member.
struct RecordValue {
  uint32_t name;
  GString* text;
  uint32_t* number;
  bool required;
};

// Reads the values in order; false at the first required value that does not read.
bool ReadValues(CInstall& in, HKEY key, const RecordValue* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const RecordValue& v = values[i];
    const int read = v.text ? in.GetStringValue(key, v.name, *v.text) : in.GetDwordValue(key, v.name, *v.number);
    if (!read && v.required) return false;
  }
  return true;
}

// The options of the settings key; each leaves its member as it is when it does not read or lies
// outside its range, so that a damaged value cannot select a layout image that does not exist.
void ReadOptions(CInstall& in, HKEY settings) {
  uint32_t value = 0;
  if (in.GetDwordValue(settings, kTextValueVariant, value) && value <= 2) in.m_variant = static_cast<int32_t>(value);
  if (in.GetDwordValue(settings, kTextValueDecimalKey, value) && value < 2)
    in.m_decimalKey = static_cast<int32_t>(value);
  if (in.GetDwordValue(settings, kTextValueAltImageA, value) && value < 2)
    in.m_altImageA = static_cast<int32_t>(value);
  if (in.GetDwordValue(settings, kTextValueAltImageB, value) && value < 2)
    in.m_altImageB = static_cast<int32_t>(value);
}

// The four option DWORDs (required), then the key assignments (best effort).
int WriteOptions(CInstall& in, HKEY settings) {
  if (!in.SetDwordValue(settings, kTextValueVariant, static_cast<uint32_t>(in.m_variant))) return 0;
  if (!in.SetDwordValue(settings, kTextValueDecimalKey, static_cast<uint32_t>(in.m_decimalKey))) return 0;
  if (!in.SetDwordValue(settings, kTextValueAltImageA, static_cast<uint32_t>(in.m_altImageA))) return 0;
  if (!in.SetDwordValue(settings, kTextValueAltImageB, static_cast<uint32_t>(in.m_altImageB))) return 0;

  uint32_t size = 0;
  uint8_t* pairs = in.ExportKeyPairs(size);
  if (pairs) in.SetBinaryValue(settings, kTextValueKeyPairs, pairs, size);
  free(pairs);
  return 1;
}

// Text 12 formatted with the user's default language and the active layout's name.
int ComposePrevUserLayout(CInstall& in, GString& out) {
  WChar layoutName[10] = {};
  if (!GetKeyboardLayoutNameW(layoutName)) return 0;
  GString format;
  if (!in.GetText(kTextPrevUserLayoutFormat, format) || format.IsEmpty()) return 0;
  return Format(out, format.WideAt(0), static_cast<int>(GetUserDefaultLangID()), layoutName);
}

// Steps 3 to 6 of a whole record below the open installation key; 0 at the first required write
// that fails.
int WriteWholeRecord(CInstall& in, HKEY record, GString& prevUserLayout) {
  // Installation key. The set C and D paths stay those of the installation that wrote them.
  if (!prevUserLayout.IsEmpty() && !in.SetStringValue(record, kTextValuePrevUserLayout, prevUserLayout)) return 0;
  if (!in.SetDwordValue(record, kTextValueUseCount, in.m_useCount)) return 0;
  // Best effort: the input language this installation's script registers (Windows 6.0 and later).
  if (in.m_osVersion >= 60) in.SetDwordValue(record, kTextValueInputLanguage, in.m_layoutLangId);
  if (in.m_oldSetC[1].IsEmpty()) {
    if (!in.SetStringValue(record, kTextValueSetCMenuLink, in.m_setC[1])) return 0;
    if (!in.SetStringValue(record, kTextValueSetCFile, in.m_setC[0])) return 0;
  }
  if (in.m_desktopMadeC && !in.SetStringValue(record, kTextValueSetCDesktopLink, in.m_setC[2])) return 0;
  if (in.m_oldSetD[0].IsEmpty()) {
    if (!in.SetStringValue(record, kTextValueSetDMenuFile, in.m_setD[0])) return 0;
    if (!in.SetStringValue(record, kTextValueSetDDesktopFile, in.m_setD[1])) return 0;
    if (!in.SetStringValue(record, kTextValueFileE, in.m_fileE)) return 0;
  }

  // Set B, only over a record of the older entry layout (or none).
  if (in.m_oldLinkVersion < kVersionMark) {
    if (!in.SetStringValue(record, kTextValueSetBFile, in.m_setB[0])) return 0;
    if (!in.SetStringValue(record, kTextValueSetBMenuLink, in.m_setB[1])) return 0;
    if (in.m_desktopMadeB && !in.SetStringValue(record, kTextValueSetBDesktopLink, in.m_setB[2])) return 0;
    in.SetDwordValue(record, kTextValueLinkVersion, kVersionMark);  // best effort
  }

  // Link-set key.
  HKEY links = OpenLevels(in, record, {kTextLinkSetKey, kTextSetAQualifier}, kWrite, true);
  int ok = links && in.SetStringValue(links, kTextValueSetAFile, in.m_setA[0]) &&
           in.SetStringValue(links, kTextValueSetAMenuLink, in.m_setA[1]) &&
           (!in.m_desktopMadeA || in.SetStringValue(links, kTextValueSetADesktopLink, in.m_setA[2])) &&
           in.SetDwordValue(links, kTextValueLinkSetVersion, kVersionMark) &&
           in.SetDwordValue(links, kTextValueLinkCount, static_cast<uint32_t>(in.m_linkCount));
  Close(links);
  if (!ok) return 0;

  // Settings key.
  HKEY settings = OpenLevels(in, record, {kTextSettingsKey, kTextSettingsSubKey}, kWrite, true);
  ok = settings && in.SetStringValue(settings, kTextValueSelfCopy, in.m_selfCopy) &&
       in.SetStringValue(settings, kTextValueSelfLink, in.m_selfLink) &&
       in.SetDwordValue(settings, kTextValueInstalledId, kVersionMark) && WriteOptions(in, settings);
  Close(settings);
  return ok ? 1 : 0;
}

}  // namespace

void CInstall::ReadInstallState() {
  m_installedId = 0;

  // Installation key; a missing level or a missing required value ends the reading.
  HKEY record =
      OpenLevels(*this, HKEY_LOCAL_MACHINE, {kTextRecordKey, kTextRecordSubKey, kTextProductFolder}, kRead);

  const RecordValue installation[] = {
      {kTextValuePrevUserLayout, &m_prevUserLayout, nullptr, true},
      {kTextValueUseCount, nullptr, &m_useCount, true},
      {kTextValueSetCFile, &m_oldSetC[0], nullptr, true},
      {kTextValueSetCMenuLink, &m_oldSetC[1], nullptr, false},
      {kTextValueSetCDesktopLink, &m_oldSetC[2], nullptr, false},
      {kTextValueSetDMenuFile, &m_oldSetD[0], nullptr, true},
      {kTextValueSetDDesktopFile, &m_oldSetD[1], nullptr, false},
      {kTextValueSetBFile, &m_oldSetB[0], nullptr, true},
      {kTextValueSetBMenuLink, &m_oldSetB[1], nullptr, true},
      {kTextValueSetBDesktopLink, &m_oldSetB[2], nullptr, false},
      {kTextValueFileE, &m_oldFileE, nullptr, true},
      {kTextValueLinkVersion, nullptr, &m_oldLinkVersion, true},
  };
  bool complete = record && ReadValues(*this, record, installation, sizeof installation / sizeof installation[0]);

  // What the installation registered and replaced for the user, when recorded.
  if (complete) {
    uint32_t language = 0;
    if (GetDwordValue(record, kTextValueInputLanguage, language)) m_recordedLangId = language;
    for (uint32_t i = 0; i < 3; ++i)
      if (GetStringValue(record, kTextValueReplacedSwitchKey1 + i, m_replacedSwitchKeys[i]))
        m_switchKeysRecorded |= 1u << i;
  }

  // Link-set key, when present.
  if (complete) {
    HKEY links = OpenLevels(*this, record, {kTextLinkSetKey, kTextSetAQualifier}, kRead);
    if (links) {
      uint32_t linkCount = 0;
      const RecordValue linkSet[] = {
          {kTextValueSetAFile, &m_oldSetA[0], nullptr, true},
          {kTextValueSetAMenuLink, &m_oldSetA[1], nullptr, true},
          {kTextValueSetADesktopLink, &m_oldSetA[2], nullptr, false},
          {kTextValueLinkSetVersion, nullptr, &m_oldLinkVersion2, true},
          {kTextValueLinkCount, nullptr, &linkCount, true},
      };
      complete = ReadValues(*this, links, linkSet, sizeof linkSet / sizeof linkSet[0]);
      if (complete) m_linkCount = static_cast<int32_t>(linkCount);
      Close(links);
    }
  }

  // Settings key, when present: the version mark, the key assignments and the options.
  if (complete) {
    HKEY settings = OpenLevels(*this, record, {kTextSettingsKey, kTextSettingsSubKey}, kRead);
    uint32_t mark = 0;
    if (settings && GetStringValue(settings, kTextValueSelfCopy, m_oldSelfCopy) &&
        GetStringValue(settings, kTextValueSelfLink, m_oldSelfLink) &&
        GetDwordValue(settings, kTextValueInstalledId, mark)) {
      m_installedId = mark;
      uint32_t size = 0;
      uint8_t* pairs = GetBinaryValue(settings, kTextValueKeyPairs, size);
      MergeKeyPairs(pairs, size);  // frees pairs
      ReadOptions(*this, settings);
    }
    Close(settings);
  }
  Close(record);

  // No record of this installer: an earlier installer's layout entry. The entry lies outside the
  // redirected Software key, but Windows 5.1 and later are asked for the 64-bit view anyway
  // (Windows 2000 does not know the flag).
  if (m_installedId != 0) return;
  const REGSAM access = m_osVersion > 50 ? kRead | KEY_WOW64_64KEY : kRead;
  HKEY entry = OpenLevels(*this, HKEY_LOCAL_MACHINE, {kTextLayoutsKey, kTextLayoutEntryKey}, access);
  if (entry) {
    GString name, product, file;
    if (GetText(kTextLayoutName, name) && GetText(kTextLayoutMatchText, product) &&
        GetText(kTextLayoutFileName, file) && StringValueEquals(entry, kTextLayoutNameValue, name) &&
        StringValueEquals(entry, kTextLayoutMatchValue, product) &&
        StringValueEquals(entry, kTextLayoutFileValue, file))
      m_installedId = kEarlierInstaller;
    Close(entry);
  }
}

int CInstall::WriteInstallRecord() {
  // Change-settings mode: only the settings key of an existing record.
  if (m_modifyOnly) {
    HKEY settings = OpenLevels(*this, HKEY_LOCAL_MACHINE,
                               {kTextRecordKey, kTextRecordSubKey, kTextProductFolder, kTextSettingsKey,
                                kTextSettingsSubKey},
                               kWrite);
    const int written = settings ? WriteOptions(*this, settings) : 0;
    Close(settings);
    return written;
  }

  // 1. The user's language and layout before the first installation, recorded once.
  GString prevUserLayout;
  if (m_prevUserLayout.IsEmpty() && !ComposePrevUserLayout(*this, prevUserLayout)) return 0;

  // 2. The installation key, created below the existing Software key.
  HKEY top = OpenKey(HKEY_LOCAL_MACHINE, kTextRecordKey, kWrite);
  HKEY record = top ? OpenLevels(*this, top, {kTextRecordSubKey, kTextProductFolder}, kWrite, true) : nullptr;
  Close(top);
  if (!record) return 0;

  // 3-7. The values, the link-set key and the settings key.
  const int written = WriteWholeRecord(*this, record, prevUserLayout);
  Close(record);
  return written;
}

int CInstall::RemoveInstallRecord() {
  // 1. Required: every level down to the settings key, or nothing is removed.
  HKEY top = OpenKey(HKEY_LOCAL_MACHINE, kTextRecordKey, kWrite);
  HKEY middle = top ? OpenKey(top, kTextRecordSubKey, kWrite) : nullptr;
  HKEY record = middle ? OpenKey(middle, kTextProductFolder, kWrite) : nullptr;
  HKEY settingsUpper = record ? OpenKey(record, kTextSettingsKey, kWrite) : nullptr;
  HKEY settings = settingsUpper ? OpenKey(settingsUpper, kTextSettingsSubKey, kWrite) : nullptr;
  if (!settings) {
    Close(settingsUpper);
    Close(record);
    Close(middle);
    Close(top);
    return 0;
  }

  // Best effort from here on; outcomes are not examined.

  // 2. The settings key goes at every uninstall.
  DeleteValue(settings, kTextValueSelfCopy);
  DeleteValue(settings, kTextValueSelfLink);
  DeleteValue(settings, kTextValueInstalledId);
  Close(settings);
  DeleteKey(settingsUpper, kTextSettingsSubKey);
  Close(settingsUpper);
  DeleteKey(record, kTextSettingsKey);

  // 3. The link-set key: the lowered counter, or the key when no installation shares set A.
  HKEY linkUpper = OpenKey(record, kTextLinkSetKey, kWrite);
  if (linkUpper) {
    HKEY links = OpenKey(linkUpper, kTextSetAQualifier, kWrite);
    if (m_linkCount != 0) {
      SetDwordValue(links, kTextValueLinkCount, static_cast<uint32_t>(m_linkCount));
      Close(links);
    } else {
      const uint32_t values[] = {kTextValueSetAFile, kTextValueSetAMenuLink, kTextValueSetADesktopLink,
                                 kTextValueLinkSetVersion, kTextValueLinkCount};
      for (uint32_t value : values) DeleteValue(links, value);
      Close(links);
      DeleteKey(linkUpper, kTextSetAQualifier);
    }
    Close(linkUpper);
    if (m_linkCount == 0) DeleteKey(record, kTextLinkSetKey);
  }

  // 4. The installation key: the lowered counter, or the key when no installation is left. A key
  // that still has sub keys stays (RegDeleteKeyW refuses it).
  if (m_useCount != 0) {
    SetDwordValue(record, kTextValueUseCount, m_useCount);
    Close(record);
  } else {
    const uint32_t values[] = {kTextValuePrevUserLayout, kTextValueUseCount, kTextValueSetCMenuLink,
                               kTextValueSetCFile, kTextValueSetCDesktopLink, kTextValueSetDMenuFile,
                               kTextValueSetDDesktopFile, kTextValueSetBFile, kTextValueSetBMenuLink,
                               kTextValueSetBDesktopLink, kTextValueFileE, kTextValueLinkVersion};
    for (uint32_t value : values) DeleteValue(record, value);
    Close(record);
    DeleteKey(middle, kTextProductFolder);
    DeleteKey(top, kTextRecordSubKey);
  }
  Close(middle);
  Close(top);

  // 5.
  return 1;
}
