// The system's registrations of the layout: the layout entry, the scan-code map and the per-user
// switching values.
//
// The layout entry and the scan-code map lie under HKLM\SYSTEM, which WOW64 does not redirect;
// the layout entry is still addressed in the 64-bit view (KEY_WOW64_64KEY) on 64-bit Windows, so
// that the native system's entry is the one written and removed.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/install.h"
#include "app/text_ids.h"
#include "engine/scancode_map.h"

namespace {

constexpr REGSAM kRead = KEY_READ;                                 // 0x20019
constexpr REGSAM kWrite = KEY_WRITE;                               // 0x20006
constexpr REGSAM kSetValues = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;  // 6
constexpr REGSAM kSwitchAccess = KEY_READ | kSetValues;            // 0x2001F

void Close(HKEY& key) {
  if (key) RegCloseKey(key);
  key = nullptr;
}

// Records, below the installation key, the switching values about to be replaced: once, so that
// a reinstallation does not take its own values for the user's. Best effort; a value of another
// type than a string is not recorded (and so not restored).
void RecordReplacedSwitchKeys(CInstall& in, HKEY toggle) {
  if (in.m_switchKeysRecorded == 7) return;
  HKEY record = nullptr;
  HKEY top = in.OpenKey(HKEY_LOCAL_MACHINE, kTextRecordKey, KEY_WRITE);
  HKEY middle = top ? in.OpenKey(top, kTextRecordSubKey, KEY_WRITE) : nullptr;
  if (middle) record = in.OpenKey(middle, kTextProductFolder, KEY_READ | KEY_WRITE);
  Close(middle);
  Close(top);
  if (!record) return;
  GString value, name;
  for (uint32_t i = 0; i < 3; ++i) {
    if (in.m_switchKeysRecorded & (1u << i)) continue;
    if (!in.GetText(kTextSwitchValue1 + i, name) || !name.AsWide(-1)) continue;
    DWORD type = REG_NONE;
    const LONG found = RegQueryValueExW(toggle, name.WideAt(0), nullptr, &type, nullptr, nullptr);
    if (found == ERROR_FILE_NOT_FOUND)
      value.SetLength(0);
    else if (found != ERROR_SUCCESS || type != REG_SZ || !in.GetStringValue(toggle, name.WideAt(0), value))
      continue;
    if (in.SetStringValue(record, kTextValueReplacedSwitchKey1 + i, value)) {
      in.m_replacedSwitchKeys[i].Assign(value);
      in.m_switchKeysRecorded |= 1u << i;
    }
  }
  Close(record);
}

}  // namespace

// ---- layout entry ---------------------------------------------------------------------------

int CInstall::RegisterLayoutEntry() {
  const REGSAM access = m_os64 ? kSetValues | KEY_WOW64_64KEY : kSetValues;
  HKEY layouts = OpenKey(HKEY_LOCAL_MACHINE, kTextLayoutsKey, access);
  HKEY entry = layouts ? CreateKey(layouts, kTextLayoutEntryKey, access) : nullptr;
  Close(layouts);
  const int written = entry && SetStringValue(entry, kTextLayoutNameValue, kTextLayoutName) &&
                      SetStringValue(entry, kTextLayoutExtraValue, kTextLayoutExtraText) &&
                      SetStringValue(entry, kTextLayoutMatchValue, kTextLayoutMatchText) &&
                      SetStringValue(entry, kTextLayoutFileValue, kTextLayoutFileName);
  Close(entry);
  return written ? 1 : 0;
}

int CInstall::UnregisterLayoutEntry() {
  // Required: the entry must exist.
  const REGSAM access = m_os64 ? kWrite | KEY_WOW64_64KEY : kWrite;
  GString entryName;
  if (!GetText(kTextLayoutEntryKey, entryName) || entryName.IsEmpty()) return 0;
  HKEY layouts = OpenKey(HKEY_LOCAL_MACHINE, kTextLayoutsKey, access);
  HKEY entry = layouts ? OpenKey(layouts, entryName.WideAt(0), access) : nullptr;
  if (!entry) {
    Close(layouts);
    return 0;
  }

  // Best effort: the values, then the key (in the 64-bit view on 64-bit systems).
  DeleteValue(entry, kTextLayoutNameValue);
  DeleteValue(entry, kTextLayoutExtraValue);
  DeleteValue(entry, kTextLayoutMatchValue);
  DeleteValue(entry, kTextLayoutFileValue);
  Close(entry);
  DeleteKey64(layouts, entryName.WideAt(0));
  Close(layouts);
  return 1;
}

int CInstall::LayoutEntryIsFree() {
  const REGSAM access = m_osVersion > 50 ? kRead | KEY_WOW64_64KEY : kRead;
  GString entryName, file, product, layoutId, value;
  if (!GetText(kTextLayoutEntryKey, entryName) || !GetText(kTextLayoutFileName, file) ||
      !GetText(kTextLayoutMatchText, product) || !GetText(kTextLayoutExtraText, layoutId))
    return 0;
  HKEY layouts = OpenKey(HKEY_LOCAL_MACHINE, kTextLayoutsKey, access);
  if (!layouts) return 1;  // no layout registered at all
  int free = 1;
  // Our entry: absent, or written by this layout (ours or an earlier installer's of it). One that
  // names another layout file or product code is another vendor's; one that we left half
  // written (no such values) stays ours.
  HKEY entry = OpenKey(layouts, entryName.WideAt(0), access);
  if (entry) {
    if (GetStringValue(entry, kTextLayoutFileValue, value) && !Equals(value, file)) free = 0;
    if (GetStringValue(entry, kTextLayoutMatchValue, value) && !Equals(value, product)) free = 0;
    Close(entry);
  }
  // Every other entry: a layout id is unique on the machine (it makes the layout's handle).
  for (DWORD i = 0; free; ++i) {
    WChar name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(layouts, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (lstrcmpiW(name, entryName.WideAt(0)) == 0) continue;
    HKEY other = OpenKey(layouts, name, access);
    if (other && GetStringValue(other, kTextLayoutExtraValue, value) && !value.IsEmpty() &&
        lstrcmpiW(value.WideAt(0), layoutId.WideAt(0)) == 0)
      free = 0;
    Close(other);
  }
  Close(layouts);
  return free;
}

// ---- scan-code map --------------------------------------------------------------------------

int CInstall::ReadScancodeMap() {
  if (!m_keyTable || m_keyCount <= 0) return 0;
  HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kTextScancodeMapKey, kRead);
  uint32_t size = 0;
  uint8_t* value = key ? GetBinaryValue(key, kTextScancodeMapValue, size) : nullptr;
  if (value) {
    m_scancodeMapRead = 1;
    DecodeScancodeMap(value, size, m_keyTable, m_keyCount, nullptr);
    free(value);
  }
  Close(key);
  return 0;
}

int CInstall::WriteScancodeMap() {
  if (!m_keyTable || m_keyCount <= 0) return 0;

  // The map belongs to the whole system: the substitutions of keys that the table does not hold
  // (other programs' settings) are taken from the map as it is now and written back with ours.
  ScancodeMapExtras foreign;
  HKEY current = OpenKey(HKEY_LOCAL_MACHINE, kTextScancodeMapKey, kRead);
  uint32_t size = 0;
  uint8_t* value = current ? GetBinaryValue(current, kTextScancodeMapValue, size) : nullptr;
  Close(current);
  if (value) {
    // Decoded into a throw-away copy: only the foreign entries are wanted here.
    const size_t bytes = sizeof(KeyEntry) * static_cast<size_t>(m_keyCount);
    KeyEntry* scratch = static_cast<KeyEntry*>(malloc(bytes));
    if (!scratch) {
      free(value);
      return 0;
    }
    memcpy(scratch, m_keyTable, bytes);
    DecodeScancodeMap(value, size, scratch, m_keyCount, &foreign);
    free(scratch);
    free(value);
  }

  uint8_t* map = nullptr;
  uint32_t mapSize = 0;
  const MapEncoding encoding = EncodeScancodeMap(m_keyTable, m_keyCount, m_scancodeMapRead != 0, foreign, &map, &mapSize);
  FreeScancodeMapExtras(&foreign);
  if (encoding == MapEncoding::kNothingToWrite) return 1;
  if (encoding != MapEncoding::kValue) return 0;

  HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kTextScancodeMapKey, kWrite);
  const int written = key ? SetBinaryValue(key, kTextScancodeMapValue, map, mapSize) : 0;
  Close(key);
  free(map);
  return written;
}

// ---- per-user switching values --------------------------------------------------------------

int CInstall::SetSwitchKeys() {
  // Created when missing: a user profile that never changed its switching keys has no such key.
  HKEY key = CreateKey(HKEY_CURRENT_USER, kTextSwitchKeysKey, kSwitchAccess);
  if (!key) return 0;
  RecordReplacedSwitchKeys(*this, key);
  GString three;
  const int written = three.AssignWideZ(L"3") && SetStringValue(key, kTextSwitchValue1, three) &&
                      SetStringValue(key, kTextSwitchValue2, three) && SetStringValue(key, kTextSwitchValue3, three);
  Close(key);
  return written ? 1 : 0;
}

void CInstall::RestoreSwitchKeys() {
  if (!m_switchKeysRecorded) return;
  HKEY key = OpenKey(HKEY_CURRENT_USER, kTextSwitchKeysKey, kSwitchAccess);
  if (!key) return;
  GString three, now;
  three.AssignWideZ(L"3");
  for (uint32_t i = 0; i < 3; ++i) {
    const uint32_t name = kTextSwitchValue1 + i;
    // A value the user changed since is the user's choice.
    if (!(m_switchKeysRecorded & (1u << i)) || !StringValueEquals(key, name, three)) continue;
    if (m_replacedSwitchKeys[i].IsEmpty())
      DeleteValue(key, name);
    else
      SetStringValue(key, name, m_replacedSwitchKeys[i]);
  }
  // A profile that had none of the values got the key from the installation: it goes when
  // nothing else is in it.
  bool hadNone = m_switchKeysRecorded == 7;
  for (const GString& value : m_replacedSwitchKeys) hadNone = hadNone && value.IsEmpty();
  DWORD subKeys = 1, values = 1;
  const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                     subKeys == 0 && values == 0;
  Close(key);
  if (hadNone && empty) DeleteKey(HKEY_CURRENT_USER, kTextSwitchKeysKey);
}
