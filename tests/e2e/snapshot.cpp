#include "tests/e2e/snapshot.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/wine/wine_test.h"

namespace e2e {

namespace {

using winetest::Narrow;

std::string Hex(const BYTE* data, DWORD size) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data) {
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(data.data());
  const size_t units = data.size() / sizeof(wchar_t);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring text(wide, units);
      while (!text.empty() && text.back() == 0) text.pop_back();
      return (type == REG_SZ ? "REG_SZ:" : "REG_EXPAND_SZ:") + Narrow(text);
    }
    case REG_MULTI_SZ: {
      std::wstring text(wide, units);
      for (wchar_t& c : text)
        if (c == 0) c = L'|';
      return "REG_MULTI_SZ:" + Narrow(text);
    }
    case REG_DWORD:
      if (data.size() == 4) {
        char number[16];
        snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(data.data())));
        return std::string("REG_DWORD:") + number;
      }
      break;
  }
  return "type" + std::to_string(type) + ":" + Hex(data.data(), static_cast<DWORD>(data.size()));
}

// Every value (and, with subKeys, every key below) of root\path in the given view.
void CaptureKey(Snapshot& out, HKEY root, const std::string& tag, const std::wstring& path, REGSAM view,
                bool subKeys, const wchar_t* onlyValue = nullptr) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  const std::string place = "reg:" + tag + "\\" + Narrow(path);
  if (!onlyValue) out[place + "\\"] = "key";
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    if (onlyValue && lstrcmpiW(name, onlyValue) != 0) continue;
    std::vector<BYTE> data(size);
    nameLength = 16384;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    data.resize(size);
    out[place + "\\@" + Narrow(name)] = ValueText(type, data);
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0; subKeys; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) CaptureKey(out, root, tag, path + L"\\" + child, view, true);
}

uint64_t Hash(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  BYTE buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read)
    for (DWORD i = 0; i < read; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
  CloseHandle(file);
  return hash;
}

// Every folder and file below folder (with contents' hashes when withContents).
void CaptureTree(Snapshot& out, const std::wstring& folder, bool recurse, bool withContents) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out["file:" + Narrow(path) + "\\"] = "folder";
      if (recurse) folders.push_back(path);
      continue;
    }
    std::string what = "size=" + std::to_string(found.nFileSizeLow);
    if (withContents) {
      char hash[24];
      snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Hash(path)));
      what += std::string(" hash=") + hash;
    }
    out["file:" + Narrow(path)] = what;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& child : folders) CaptureTree(out, child, true, withContents);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return L"";
  return path;
}

std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

}  // namespace

Snapshot Capture() {
  Snapshot out;
  // The record and the completion mark live in the program's view of Software; both views of a
  // 64-bit system are taken, whichever the program uses.
  struct View {
    const char* tag;
    REGSAM flag;
  };
  std::vector<View> views = {{"HKLM", 0}};
  if (winetest::Is64BitSystem()) views = {{"HKLM32", KEY_WOW64_32KEY}, {"HKLM64", KEY_WOW64_64KEY}};
  for (const View& view : views) {
    CaptureKey(out, HKEY_LOCAL_MACHINE, view.tag, L"Software\\DemoLayout", view.flag, true);
    CaptureKey(out, HKEY_LOCAL_MACHINE, view.tag, L"Software", view.flag, false);
    // The entries of Installed apps and the sign-in stubs of Active Setup.
    CaptureKey(out, HKEY_LOCAL_MACHINE, view.tag, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", view.flag, true);
    CaptureKey(out, HKEY_LOCAL_MACHINE, view.tag, L"Software\\Microsoft\\Active Setup\\Installed Components", view.flag,
               true);
  }
  const View& native = views.back();
  CaptureKey(out, HKEY_LOCAL_MACHINE, native.tag, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts", native.flag,
             true);
  CaptureKey(out, HKEY_LOCAL_MACHINE, native.tag, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", native.flag,
             true);
  CaptureKey(out, HKEY_LOCAL_MACHINE, native.tag, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", native.flag,
             false, L"PendingFileRenameOperations");
  CaptureKey(out, HKEY_CURRENT_USER, "HKCU", L"Keyboard Layout", 0, true);

  // File trees, each once (the program-files folders are one on a 32-bit system).
  std::set<std::wstring> trees;
  for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                    CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY}) {
    const std::wstring folder = SpecialFolder(csidl);
    if (!folder.empty() && trees.insert(folder).second) CaptureTree(out, folder, true, true);
  }
  // The system folders as the native system sees them: names and sizes.
  const std::wstring windows = WindowsFolder();
  CaptureTree(out, windows + (winetest::IsWow64() ? L"\\sysnative" : L"\\system32"), false, false);
  if (winetest::Is64BitSystem()) CaptureTree(out, windows + L"\\syswow64", false, false);
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length > 1) CaptureTree(out, std::wstring(temp, length - 1), false, false);
  return out;
}

bool Save(const Snapshot& snapshot, const std::wstring& path) {
  std::ofstream file(path.c_str(), std::ios::binary);
  for (const auto& entry : snapshot) file << entry.first << '\t' << entry.second << '\n';
  return static_cast<bool>(file);
}

bool Load(const std::wstring& path, Snapshot* snapshot) {
  std::ifstream file(path.c_str(), std::ios::binary);
  if (!file) return false;
  snapshot->clear();
  std::string line;
  while (std::getline(file, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) (*snapshot)[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return true;
}

std::vector<std::string> Diff(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& ignored) {
  auto skip = [&](const std::string& place) {
    for (const std::string& part : ignored)
      if (place.find(part) != std::string::npos) return true;
    return false;
  };
  std::vector<std::string> lines;
  for (const auto& entry : before) {
    if (skip(entry.first)) continue;
    const auto now = after.find(entry.first);
    if (now == after.end())
      lines.push_back("- " + entry.first + " = " + entry.second);
    else if (now->second != entry.second)
      lines.push_back("~ " + entry.first + ": " + entry.second + " => " + now->second);
  }
  for (const auto& entry : after)
    if (!skip(entry.first) && !before.count(entry.first)) lines.push_back("+ " + entry.first + " = " + entry.second);
  return lines;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << "  " << line << '\n';
  return out.str();
}

}  // namespace e2e
