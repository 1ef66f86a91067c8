// Registry operations of the installer: keys and values under HKLM and HKCU, including the
// 64-bit view that this 32-bit program reaches on 64-bit Windows.
//
// Text-id forms fetch the name first and fail before any registry call when the text is missing:
// an empty name would otherwise address the parent key itself or its default value.
#include <windows.h>

#include <cstdlib>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

// RegDeleteKeyExW, resolved by name: 32-bit Windows XP's advapi32 does not export it.
typedef LONG(WINAPI* DeleteKeyExProc)(HKEY parent, const WChar* subKey, REGSAM access, DWORD reserved);

bool IsEmptyName(const WChar* name) { return !name || !name[0]; }

}  // namespace

// ---- keys -----------------------------------------------------------------------------------

HKEY CInstall::OpenKey(HKEY parent, const WChar* subKey, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, subKey, 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

HKEY CInstall::OpenKey(HKEY parent, uint32_t subKeyText, REGSAM access) {
  if (!GetText(subKeyText, m_scratch)) return nullptr;
  return OpenKey(parent, m_scratch.WideAt(0), access);
}

HKEY CInstall::CreateKey(HKEY parent, const WChar* subKey, REGSAM access) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

HKEY CInstall::CreateKey(HKEY parent, uint32_t subKeyText, REGSAM access) {
  if (!GetText(subKeyText, m_scratch)) return nullptr;
  return CreateKey(parent, m_scratch.WideAt(0), access);
}

// An empty sub key name makes RegDeleteKeyW delete the parent itself, so it is refused.
int CInstall::DeleteKey(HKEY parent, uint32_t subKeyText) {
  if (!GetText(subKeyText, m_scratch) || m_scratch.IsEmpty()) return 0;
  return RegDeleteKeyW(parent, m_scratch.WideAt(0)) == ERROR_SUCCESS ? 1 : 0;
}

int CInstall::DeleteKey64(HKEY parent, const WChar* subKey) {
  if (IsEmptyName(subKey)) return 0;
  if (m_os64) {
    HMODULE module = nullptr;
    FARPROC proc = GetTextProc(kTextDeleteKey64Proc, kTextRegistryLibrary, module);
    LONG status = ERROR_PROC_NOT_FOUND;
    if (proc)
      status = reinterpret_cast<DeleteKeyExProc>(reinterpret_cast<void*>(proc))(parent, subKey, KEY_WOW64_64KEY, 0);
    if (module) FreeLibrary(module);
    if (status == ERROR_SUCCESS) return 1;
  }
  return RegDeleteKeyW(parent, subKey) == ERROR_SUCCESS ? 1 : 0;
}

// ---- binary and DWORD values ----------------------------------------------------------------

int CInstall::SetBinaryValue(HKEY key, const WChar* name, const uint8_t* data, uint32_t size) {
  if (!key || (!data && size)) return 0;
  return RegSetValueExW(key, name, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
}

int CInstall::SetBinaryValue(HKEY key, uint32_t nameText, const uint8_t* data, uint32_t size) {
  if (!GetText(nameText, m_scratch)) return 0;
  return SetBinaryValue(key, m_scratch.WideAt(0), data, size);
}

uint8_t* CInstall::GetBinaryValue(HKEY key, const WChar* name, uint32_t& size) {
  size = 0;
  if (!key) return nullptr;
  DWORD type = REG_NONE;
  DWORD bytes = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes);
  if ((status != ERROR_SUCCESS && status != ERROR_MORE_DATA) || bytes == 0 || type != REG_BINARY) return nullptr;
  uint8_t* buffer = static_cast<uint8_t*>(malloc(bytes));
  if (!buffer) return nullptr;
  DWORD got = bytes;
  status = RegQueryValueExW(key, name, nullptr, &type, buffer, &got);
  // The value may have changed between the two queries.
  if (status != ERROR_SUCCESS || got != bytes || type != REG_BINARY) {
    free(buffer);
    return nullptr;
  }
  size = bytes;
  return buffer;
}

uint8_t* CInstall::GetBinaryValue(HKEY key, uint32_t nameText, uint32_t& size) {
  size = 0;
  if (!GetText(nameText, m_scratch)) return nullptr;
  return GetBinaryValue(key, m_scratch.WideAt(0), size);
}

int CInstall::SetDwordValue(HKEY key, const WChar* name, uint32_t value) {
  if (!key) return 0;
  const DWORD data = value;
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

int CInstall::SetDwordValue(HKEY key, uint32_t nameText, uint32_t value) {
  if (!GetText(nameText, m_scratch)) return 0;
  return SetDwordValue(key, m_scratch.WideAt(0), value);
}

int CInstall::GetDwordValue(HKEY key, const WChar* name, uint32_t& value) {
  if (!key) return 0;
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD bytes = sizeof data;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD || bytes != sizeof data)
    return 0;
  value = data;
  return 1;
}

int CInstall::GetDwordValue(HKEY key, uint32_t nameText, uint32_t& value) {
  if (!GetText(nameText, m_scratch)) return 0;
  return GetDwordValue(key, m_scratch.WideAt(0), value);
}

// ---- string values --------------------------------------------------------------------------

int CInstall::SetStringValue(HKEY key, const WChar* name, GString& content) {
  if (!key || IsEmptyName(name)) return 0;
  const WChar* text = content.AsWide(0);
  if (!text) return 0;
  // The terminating zero is stored with the text.
  const DWORD bytes = static_cast<DWORD>(content.Length()) * 2 + 2;
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS ? 1
                                                                                                        : 0;
}

// The content may be m_scratch, so the name goes into a string of its own.
int CInstall::SetStringValue(HKEY key, uint32_t nameText, GString& content) {
  GString name;
  if (!GetText(nameText, name)) return 0;
  return SetStringValue(key, name.WideAt(0), content);
}

int CInstall::SetStringValue(HKEY key, uint32_t nameText, uint32_t contentText) {
  GString name;
  GString content;
  if (!GetText(nameText, name) || !GetText(contentText, content)) return 0;
  return SetStringValue(key, name.WideAt(0), content);
}

int CInstall::GetStringValue(HKEY key, const WChar* name, GString& out) {
  if (!key || IsEmptyName(name)) return 0;
  out.SetLength(0);
  if (!out.AsWide(0)) return 0;
  DWORD type = REG_NONE;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) return 0;
  if (bytes == 0) return 1;
  // Rounded up, so that an odd byte count still fits; far beyond any real value is refused.
  const DWORD units = bytes / 2 + (bytes & 1);
  if (units > 0x10000000) return 0;
  WChar* room = out.WideTail(static_cast<int>(units));
  if (!room) return 0;
  DWORD got = units * 2;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(room), &got) != ERROR_SUCCESS ||
      type != REG_SZ) {
    out.SetLength(0);  // the failed query may have overwritten the terminator
    return 0;
  }
  // The stored terminator is left out; a value stored without one loses its last character.
  out.SetLength(got ? static_cast<int>((got - 1) / 2) : 0);
  return 1;
}

int CInstall::GetStringValue(HKEY key, uint32_t nameText, GString& out) {
  // Reading into m_scratch itself would empty the name before the query.
  GString own;
  GString& name = &out == &m_scratch ? own : m_scratch;
  if (!GetText(nameText, name)) return 0;
  return GetStringValue(key, name.WideAt(0), out);
}

int CInstall::StringValueEquals(HKEY key, const WChar* name, GString& expected) {
  GString value;
  if (!GetStringValue(key, name, value)) return 0;
  if (expected.IsWide()) return value.Compare(expected.WideAt(0), expected.Length()) == 0 ? 1 : 0;
  if (!value.AsNarrow(0)) return 0;
  return value.Compare(expected.NarrowAt(0), expected.Length()) == 0 ? 1 : 0;
}

int CInstall::StringValueEquals(HKEY key, uint32_t nameText, GString& expected) {
  GString name;
  if (!GetText(nameText, name)) return 0;
  return StringValueEquals(key, name.WideAt(0), expected);
}

int CInstall::DeleteValue(HKEY key, const WChar* name) {
  if (!key) return 0;
  return RegDeleteValueW(key, name) == ERROR_SUCCESS ? 1 : 0;
}

int CInstall::DeleteValue(HKEY key, uint32_t nameText) {
  if (!GetText(nameText, m_scratch)) return 0;
  return DeleteValue(key, m_scratch.WideAt(0));
}

int CInstall::SetMachineTextValue(uint32_t keyText, uint32_t nameText, uint32_t contentText) {
  GString path;
  GString name;
  GString content;
  if (!GetText(keyText, path) || !GetText(nameText, name) || !GetText(contentText, content)) return 0;
  HKEY key = OpenKey(HKEY_LOCAL_MACHINE, path.WideAt(0), KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
  if (!key) return 0;
  const int written = SetStringValue(key, name.WideAt(0), content);
  RegCloseKey(key);
  return written;
}
