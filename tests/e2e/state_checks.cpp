#include "tests/e2e/state_checks.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/engine/layout_helpers.h"
#include "tests/wine/wine_test.h"

namespace e2e {

const wchar_t kBefore[] = L"C:\\e2e\\before.snapshot";

namespace {

const wchar_t kWork[] = L"C:\\e2e";
const wchar_t kLayouts[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";

// Another program's substitution in the system's scan-code map: the wake key (E0 63, which the
// installer's key table does not hold) sends nothing.
const BYTE kForeignMap[] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x00, 0x00, 0x63, 0xE0, 0, 0, 0, 0};

bool SamePath(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

// The temporary folder, with its separator.
std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp, length <= MAX_PATH ? length : 0);
}

// What the demo package's installation makes, by place (the folders' own entries included).
std::set<std::string> InstalledPlaces(const std::string& programCopy) {
  const std::string files = "file:" + Utf8(Folder(CSIDL_PROGRAM_FILES)) + "\\Demo Layout\\";
  const std::string menu = "file:" + Utf8(Folder(CSIDL_COMMON_PROGRAMS)) + "\\Demo Layout\\";
  const std::string desktop = "file:" + Utf8(Folder(CSIDL_COMMON_DESKTOPDIRECTORY)) + "\\";
  std::set<std::string> places = {
      files, files + "Polish\\",
      files + "Polish\\Polish letters (AltGr).txt", files + "Polish\\Switching keyboard layouts.txt",
      files + "Polish\\Demo Polish Layout on the Web.url", files + "Polish\\Removing the Demo Polish Layout.txt",
      files + "Polish\\" + programCopy, files + "Polish\\kbddemo.dll",
      menu, menu + "Polish\\",
      menu + "Polish\\Polish letters (AltGr).lnk", menu + "Polish\\Switching keyboard layouts.lnk",
      menu + "Polish\\Demo Polish Layout on the Web.lnk", menu + "Polish\\How to remove the Demo Polish Layout.url",
      menu + "Polish\\" + UninstallName() + ".lnk",
      desktop + "Polish letters (AltGr).lnk", desktop + "Switching keyboard layouts.lnk",
      desktop + "Demo Polish Layout on the Web.lnk", desktop + "How to remove the Demo Polish Layout.url",
  };
  if (winetest::Is64BitSystem()) places.insert(files + "Polish\\kbddemo.dll64");
  const std::string record = "reg:" + OwnView() + "\\Software\\DemoLayout\\";
  for (const char* key : {"", "Polish\\", "Polish\\Links\\", "Polish\\Links\\AltGr\\", "Polish\\Settings\\",
                          "Polish\\Settings\\1.0\\"})
    places.insert(record + key);
  for (const char* value : {"PreviousUserLayout", "UseCount", "WebShortcut", "WebMenuLink", "WebDesktopLink",
                            "RemovalMenuShortcut", "RemovalDesktopShortcut", "RemovalDocument", "SwitchingDocument",
                            "SwitchingMenuLink", "SwitchingDesktopLink", "SwitchingVersion", "ReplacedHotkey",
                            "ReplacedLanguageHotkey", "ReplacedLayoutHotkey"})
    places.insert(record + "Polish\\@" + value);
  if (winetest::ReportedVersion() >= 60) places.insert(record + "Polish\\@InputLanguage");
  for (const char* value : {"Document", "MenuLink", "DesktopLink", "Version", "LinkCount"})
    places.insert(record + "Polish\\Links\\AltGr\\@" + value);
  for (const char* value : {"SetupCopy", "SetupLink", "Version", "KeyAssignments", "Variant", "DecimalKey",
                            "TildeDeadKey", "TildeDeadKeyPreset"})
    places.insert(record + "Polish\\Settings\\1.0\\@" + value);
  // The entry of Installed apps, in the program's view.
  const std::string apps = "reg:" + OwnView() + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                           "{C00D2462-1F17-4976-A3B3-2FDD95E48B82}\\";
  places.insert(apps);
  for (const char* value : {"DisplayName", "DisplayVersion", "Publisher", "URLInfoAbout", "UninstallString", "ModifyPath",
                            "QuietUninstallString", "DisplayIcon", "InstallLocation", "InstallDate", "NoRepair",
                            "EstimatedSize"})
    places.insert(apps + "@" + value);
  const std::string entry = "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415\\";
  places.insert(entry);
  for (const char* value : {"Layout Text", "Layout File", "Layout Product Code", "Layout Id"})
    places.insert(entry + "@" + value);
  return places;
}

// A shell link's target and description, read back through the shell.
std::pair<std::wstring, std::wstring> ReadLink(const std::wstring& path) {
  std::pair<std::wstring, std::wstring> out;
  CoInitializeEx(nullptr, 0);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t text[1024] = {};
        if (SUCCEEDED(link->GetPath(text, 1024, nullptr, 0))) out.first = text;
        text[0] = 0;
        if (SUCCEEDED(link->GetDescription(text, 1024))) out.second = text;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return out;
}

}  // namespace

std::string OwnView() {
  if (!winetest::Is64BitSystem()) return "HKLM";
  return winetest::IsWow64() ? "HKLM32" : "HKLM64";
}
std::string NativeView() { return winetest::Is64BitSystem() ? "HKLM64" : "HKLM"; }
// Windows 2000 refuses the view flags; a 32-bit system has one view anyway.
REGSAM NativeFlag() { return winetest::Is64BitSystem() ? KEY_WOW64_64KEY : 0; }

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

std::string Utf8(const std::wstring& text) { return winetest::Narrow(text); }

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0],
                                                     static_cast<int>(out.size()))));
  return out;
}

void SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | NativeFlag(), nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

std::set<std::string> Places(const std::vector<std::string>& lines, char kind) {
  std::set<std::string> out;
  for (const std::string& line : lines) {
    if (line[0] != kind) continue;
    const size_t end = line.find(kind == '~' ? ": " : " = ", 2);
    out.insert(line.substr(2, end - 2));
  }
  return out;
}

std::string Value(const Snapshot& snapshot, const std::string& place) {
  const auto found = snapshot.find(place);
  return found == snapshot.end() ? "(none)" : found->second;
}

std::string RecordValue(const Snapshot& snapshot, const std::string& key, const char* value) {
  return Value(snapshot, "reg:" + OwnView() + "\\Software\\DemoLayout\\Polish\\" + key + "@" + value);
}

// Its web page, without TLS on Windows 2000.
std::string CompletionMark() {
  return winetest::ReportedVersion() > 50 ? "REG_SZ:https://example.org/demo-polish-layout/"
                                          : "REG_SZ:http://example.org/demo-polish-layout/";
}

std::string UninstallName() {
  CInstall texts(kEmbeddedPackage);
  GString format, name, out;
  if (!texts.Init(GetModuleHandleW(nullptr)) || !texts.GetText(kTextUninstallNameFormat, format) ||
      !texts.GetText(kTextLayoutName, name))
    return "";
  Format(out, format.WideAt(0), name.WideAt(0));
  return Utf8(std::wstring(out.WideAt(0), static_cast<size_t>(out.Length())));
}

void PrepareLikeWindows(const std::string& prefixName) {
  struct Entry {
    const wchar_t* id;
    const wchar_t* file;
    const wchar_t* text;
  } entries[] = {{L"00000409", L"KBDUS.DLL", L"US"},
                 {L"00000415", L"KBDPL1.DLL", L"Polish (Programmers)"},
                 {L"00000419", L"KBDRU.DLL", L"Russian"}};
  for (const Entry& entry : entries) {
    // Windows 8 and later need a Cyrillic-script layout beside ours: a prefix without one.
    if (prefixName.find("nocyr") != std::string::npos && !wcscmp(entry.id, L"00000419")) continue;
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kLayouts) + entry.id, L"Layout File", entry.file);
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kLayouts) + entry.id, L"Layout Text", entry.text);
  }
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", 0, nullptr, 0,
                            KEY_WRITE | NativeFlag(), nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Scancode Map", 0, REG_BINARY, kForeignMap, sizeof kForeignMap);
  RegCloseKey(key);
  // A profile whose user changed the switching keys once (Windows 7 prefixes); the others have
  // none, as a fresh profile.
  if (prefixName.find("win7") != std::string::npos) {
    for (const wchar_t* name : {L"Hotkey", L"Language Hotkey"}) SetString(HKEY_CURRENT_USER, L"Keyboard Layout\\Toggle", name, L"1");
    SetString(HKEY_CURRENT_USER, L"Keyboard Layout\\Toggle", L"Layout Hotkey", L"2");
  }
  CreateDirectoryW(kWork, nullptr);
  ASSERT_TRUE(Save(Capture(), kBefore));
}

void ExpectFirstInstallation(const Snapshot& after, const std::wstring& programCopy) {
  Snapshot before;
  ASSERT_TRUE(Load(kBefore, &before));
  const std::vector<std::string> diff = Diff(before, after);
  SCOPED_TRACE("difference:\n" + Lines(diff));

  // Exactly the installation's files, links, record and layout entry, nothing removed.
  std::set<std::string> added = Places(diff, '+');
  const std::string mark = "reg:" + OwnView() + "\\Software\\@\\Demo Polish Layout on the Web";
  EXPECT_EQ(Value(after, mark), CompletionMark());
  const std::string pending = "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\@PendingFileRenameOperations";
  for (const std::string& extra : {mark, pending}) added.erase(extra);
  for (const char* name : {"", "@Hotkey", "@Language Hotkey", "@Layout Hotkey"}) added.erase("reg:HKCU\\Keyboard Layout\\Toggle\\" + std::string(name));
  // The input-language script stays until the next start deletes it (Windows before Vista runs none).
  const std::string temp = "file:" + Utf8(TempFolder());
  std::vector<std::string> scripts;
  for (const std::string& place : added)
    if (place.compare(0, temp.size(), temp) == 0) scripts.push_back(place);
  for (const std::string& script : scripts) {
    added.erase(script);
    EXPECT_NE(Value(after, pending).find(script.substr(5) + "||"), std::string::npos) << script << " not deleted at the next start";
  }
  EXPECT_EQ(scripts.size(), winetest::ReportedVersion() >= 60 ? 1u : 0u) << Lines(scripts);
  const std::set<std::string> expected = InstalledPlaces(Utf8(programCopy));
  std::vector<std::string> missing, unexpected;
  std::set_difference(expected.begin(), expected.end(), added.begin(), added.end(), std::back_inserter(missing));
  std::set_difference(added.begin(), added.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
  EXPECT_TRUE(missing.empty()) << "missing:\n" << Lines(missing);
  EXPECT_TRUE(unexpected.empty()) << "unexpected:\n" << Lines(unexpected);
  EXPECT_TRUE(Places(diff, '-').empty());

  // The record's counters and options; the switching keys; the scan-code map kept as it was.
  EXPECT_EQ(RecordValue(after, "", "UseCount"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(after, "", "SwitchingVersion"), "REG_DWORD:190");
  EXPECT_EQ(RecordValue(after, "Links\\AltGr\\", "LinkCount"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(after, "Settings\\1.0\\", "Version"), "REG_DWORD:190");
  EXPECT_EQ(RecordValue(after, "Settings\\1.0\\", "Variant"), "REG_DWORD:0");
  // The switching values, and the user's own that they replaced, for the removal to give back.
  const char* replaced[] = {"ReplacedHotkey", "ReplacedLanguageHotkey", "ReplacedLayoutHotkey"};
  const char* names[] = {"Hotkey", "Language Hotkey", "Layout Hotkey"};
  for (int i = 0; i < 3; ++i) {
    const std::string user = "reg:HKCU\\Keyboard Layout\\Toggle\\@" + std::string(names[i]);
    EXPECT_EQ(Value(after, user), "REG_SZ:3") << names[i];
    const std::string own = Value(before, user);
    EXPECT_EQ(RecordValue(after, "", replaced[i]), own == "(none)" ? "REG_SZ:" : own) << names[i];
  }
  const std::string map = "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout\\@Scancode Map";
  EXPECT_EQ(Value(after, map), Value(before, map));
  EXPECT_EQ(Value(after, "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415\\@Layout File"),
            "REG_SZ:kbddemo.dll");

  // The links point where they should and say what they are.
  const std::wstring files = Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\";
  const std::wstring menu = Folder(CSIDL_COMMON_PROGRAMS) + L"\\Demo Layout\\Polish\\";
  const std::wstring desktop = Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\";
  const struct {
    std::wstring link, target, description;
  } links[] = {
      {menu + L"Polish letters (AltGr).lnk", files + L"Polish letters (AltGr).txt",
       L"How to type the Polish letters with the Polish (Demo) keyboard layout"},
      {desktop + L"Polish letters (AltGr).lnk", files + L"Polish letters (AltGr).txt",
       L"How to type the Polish letters with the Polish (Demo) keyboard layout"},
      {menu + L"Switching keyboard layouts.lnk", files + L"Switching keyboard layouts.txt",
       L"How to switch to the Polish (Demo) keyboard layout and back"},
      {menu + L"Demo Polish Layout on the Web.lnk", files + L"Demo Polish Layout on the Web.url",
       L"Web page of the Polish (Demo) keyboard layout"},
      {menu + Wide(UninstallName()) + L".lnk", files + programCopy, Wide(UninstallName())},
  };
  for (const auto& link : links) {
    const auto read = ReadLink(link.link);
    EXPECT_TRUE(SamePath(read.first, link.target)) << Utf8(link.link) << " -> " << Utf8(read.first);
    EXPECT_EQ(read.second, link.description) << Utf8(link.link);
  }
}

void ExpectInstalledLibrary(int variant, int row, const std::wstring& changes) {
  const std::wstring windows = Folder(CSIDL_WINDOWS);
  const std::wstring staging = Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\kbddemo.dll";
  EXPECT_FALSE(winetest::FileExists(staging));
  EXPECT_FALSE(winetest::FileExists(staging + L"64"));
  std::string report;
  if (winetest::Is64BitSystem()) {
    EXPECT_TRUE(winetest::FileExists(windows + L"\\syswow64\\kbddemo.dll"));
    // The x64 comparer is a 64-bit program: it sees the real System32 under its own name.
    const std::wstring installed = windows + L"\\system32\\kbddemo.dll";
    EXPECT_EQ(layouttest::CompareLayouts(L"x64", layouttest::DemoImage(variant, row, L"x64"), installed, changes, &report),
              0u)
        << report;
    // The WOW64 edition, read by the 32-bit comparer where 32-bit programs run.
    if (winetest::Runs32BitPrograms()) {
      EXPECT_EQ(layouttest::CompareLayouts(L"x86", layouttest::DemoImage(variant, row, L"wow64"),
                                           windows + L"\\syswow64\\kbddemo.dll", changes + L" --pointers=64", &report),
                0u)
          << report;
    }
  } else {
    EXPECT_EQ(layouttest::CompareLayouts(L"x86", layouttest::DemoImage(variant, row, L"x86"),
                                         windows + L"\\system32\\kbddemo.dll", changes, &report),
              0u)
        << report;
  }
}

void ExpectOnlyTheCompletionMark() {
  Snapshot before;
  ASSERT_TRUE(Load(kBefore, &before));
  const std::vector<std::string> diff = Diff(before, Capture());
  const std::vector<std::string> expected = {"+ reg:" + OwnView() + "\\Software\\@\\Demo Polish Layout on the Web = " +
                                             CompletionMark()};
  EXPECT_EQ(diff, expected) << "difference from the state before the installation:\n" << Lines(diff);
}

}  // namespace e2e
