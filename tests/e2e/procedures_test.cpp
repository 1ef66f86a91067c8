// The install and uninstall procedures end to end, as the wizard will drive them, in a prefix set
// up the way a real Windows has it. One program, run in ctest steps within one prefix:
//   PrepareStep    what Windows has and Wine lacks (layout entries, another program's scan-code
//                  map entry, the switching keys of a used profile where the prefix says so);
//                  the snapshot of the state before anything is installed
//   InstallStep    the start-up checks, the first installation with the default options
//   (wineboot -r)  the restart that puts the layout library in place
//   InstalledStep  the installed libraries; a reinstallation; a change of the settings
//   RemoveStep     the removal, run by the installed copy of this program as its menu link runs it
//   (wineboot -r)
//   ResidueStep    nothing the installation made is left but the completion mark
// The package is the demo package with a recorder in place of the input-language command, so the
// scripts can be read (C:\e2e\scripts). Every check compares snapshots of the system (snapshot.h)
// and prints the whole difference when it fails.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <set>
#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/e2e/snapshot.h"
#include "tests/e2e/state_checks.h"
#include "tests/engine/layout_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

using e2e::Diff;
using e2e::Folder;
using e2e::kBefore;
using e2e::Lines;
using e2e::NativeFlag;
using e2e::NativeView;
using e2e::OwnView;
using e2e::Places;
using e2e::RecordValue;
using e2e::SetString;
using e2e::Snapshot;
using e2e::UninstallName;
using e2e::Utf8;
using e2e::Value;
using winetest::Narrow;

const wchar_t kInstalled[] = L"C:\\e2e\\installed.snapshot";
const wchar_t kHandOver[] = L"C:\\e2e\\hand-over.txt";

std::string PrefixName() {
  const char* name = getenv("SETUP_TEST_PREFIX");
  return name ? name : "";
}

// Wine's own traces between two snapshots: none is the installer's.
const std::vector<std::string> kWineNoise = {};

class Com {
 public:
  Com() { CoInitializeEx(nullptr, 0); }
  ~Com() { CoUninitialize(); }
};

// An installer object after the start-up checks, as the wizard gets it.
class Started {
 public:
  Started() {
    m_ok = m_install.Init(GetModuleHandleW(nullptr)) && m_install.StartUpChecks() == CInstall::StartUp::kOpenWizard;
  }
  bool ok() const { return m_ok; }
  CInstall& operator*() { return m_install; }
  CInstall* operator->() { return &m_install; }

 private:
  Com m_com;
  CInstall m_install;
  bool m_ok = false;
};

std::wstring Text(CInstall& install, uint32_t id) {
  GString text;
  install.GetText(id, text);
  return std::wstring(text.WideAt(0), static_cast<size_t>(text.Length()));
}

// A run of the installer as the wizard makes it: the start-up checks, the installation or the
// removal, the shutdown (which writes the completion mark).
void InstallOnce() {
  Started install;
  ASSERT_TRUE(install.ok());
  ASSERT_EQ(install->Install(), 1);
  install->Shutdown();
}

void RemoveOnce(uint32_t expectedId) {
  Started install;
  ASSERT_TRUE(install.ok());
  ASSERT_EQ(install->m_installedId, expectedId);
  ASSERT_EQ(install->Uninstall(), 1);
  install->Shutdown();
}

const wchar_t kLayouts[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";

// ---- steps --------------------------------------------------------------------------------------

TEST(PrepareStep, WhatWindowsHasAndTheStateBefore) { e2e::PrepareLikeWindows(PrefixName()); }

// The checker itself: a file and a value left behind show, and go again with them.
TEST(PrepareStep, TheSnapshotsShowWhatIsLeftBehind) {
  const Snapshot before = e2e::Capture();
  const std::wstring file = Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\left behind.txt";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kLayouts) + L"a0000415", L"Layout File", L"left.dll");
  const std::vector<std::string> diff = Diff(before, e2e::Capture());
  const std::string entry = "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415\\";
  const std::set<std::string> expected = {"file:" + Utf8(file), entry, entry + "@Layout File"};
  EXPECT_EQ(diff.size(), 3u) << Lines(diff);
  EXPECT_EQ(Places(diff, '+'), expected) << Lines(diff);
  DeleteFileW(file.c_str());
  winetest::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kLayouts) + L"a0000415", NativeFlag());
  EXPECT_TRUE(Diff(before, e2e::Capture()).empty());
}

// The scripts the recorder keeps: C:\e2e\scripts\script-NNN.txt, numbered from 1.
std::wstring ScriptPath(int number) {
  wchar_t name[64];
  swprintf(name, 64, L"C:\\e2e\\scripts\\script-%03d.txt", number);
  return name;
}

int ScriptCount() {
  int count = 0;
  while (winetest::FileExists(ScriptPath(count + 1))) ++count;
  return count;
}

// The script numbered so, once the recorder (or its late reader) has copied it, within 15 s.
std::string WaitForScript(int number) {
  std::string script;
  for (int i = 0; i < 150 && !winetest::ReadWholeFile(ScriptPath(number), &script); ++i) Sleep(100);
  return script;
}

TEST(InstallStep, FirstInstallationWithTheDefaultOptions) {
  Snapshot before;
  ASSERT_TRUE(e2e::Load(kBefore, &before));
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->m_installedId, 0u);
    EXPECT_EQ(install->m_scancodeMapRead, 1);
    ASSERT_EQ(install->Install(), 1);
    EXPECT_EQ(install->m_useCount, 1u);
    EXPECT_EQ(install->m_linkCount, 1);
    install->Shutdown();
  }
  const Snapshot after = e2e::Capture();
  ASSERT_TRUE(e2e::Save(after, kInstalled));
  e2e::ExpectFirstInstallation(after, L"e2e_procedures.exe");

  // The input-language script, as the command received it (Windows before Vista runs none).
  if (winetest::ReportedVersion() < 60) return;
  // The command may still be copying it when the installation returns (its wait is a second).
  const std::string script = WaitForScript(1);
  EXPECT_NE(script.find("<gs:InputLanguageID Action=\"add\" ID=\"0409:a0000415\" Default=\"true\"/>"), std::string::npos)
      << script;
}

TEST(InstalledStep, TheRestartPutTheLibraryInPlace) {
  // Nothing asked: the installed libraries are the package's images as they are.
  e2e::ExpectInstalledLibrary(0, 0);
}

std::string PendingList();

// An input-language script in the temporary folder, which the next start deletes.
bool AScript(const std::string& place) {
  wchar_t temp[MAX_PATH + 1] = {};
  const std::string folder = "file:" + Utf8(std::wstring(temp, GetTempPathW(MAX_PATH, temp)));
  return place.compare(0, folder.size(), folder) == 0 && place.size() > folder.size() &&
         PendingList().find(place.substr(5) + "||") != std::string::npos;
}

// The write time of a file, to tell whether a step wrote it again.
FILETIME WriteTime(const std::wstring& path) {
  FILETIME time = {};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) time = data.ftLastWriteTime;
  return time;
}

TEST(InstalledStep, AReinstallationKeepsTheCountersAndTheSharedFiles) {
  const std::wstring files = Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\";
  const std::wstring setC = files + L"Demo Polish Layout on the Web.url";
  const std::wstring fileE = files + L"Removing the Demo Polish Layout.txt";
  const FILETIME c = WriteTime(setC), e = WriteTime(fileE);
  const Snapshot before = e2e::Capture();
  Sleep(20);  // so that a file written again shows another write time
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->m_installedId, 190u);
    EXPECT_EQ(install->m_useCount, 1u);
    ASSERT_EQ(install->Install(), 1);
    install->Shutdown();
  }
  const Snapshot after = e2e::Capture();
  const std::vector<std::string> diff = Diff(before, after, kWineNoise);
  SCOPED_TRACE("difference:\n" + Lines(diff));
  EXPECT_EQ(RecordValue(after, "", "UseCount"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(after, "Links\\AltGr\\", "LinkCount"), "REG_DWORD:1");
  const FILETIME cNow = WriteTime(setC), eNow = WriteTime(fileE);
  EXPECT_EQ(CompareFileTime(&c, &cNow), 0) << "set C written again";
  EXPECT_EQ(CompareFileTime(&e, &eNow), 0) << "file E written again";
  // Only the staged libraries and their pending replacement are new (set A and the program's
  // link are made again, with the same targets).
  for (const std::string& place : Places(diff, '+'))
    EXPECT_TRUE(place.find("kbddemo.dll") != std::string::npos ||
                place.find("PendingFileRenameOperations") != std::string::npos || AScript(place))
        << place;
  EXPECT_TRUE(Places(diff, '-').empty());
}

TEST(InstalledStep, ChangingTheSettingsChangesOnlyTheRecordAndTheImages) {
  const Snapshot before = e2e::Capture();
  {
    Started install;
    ASSERT_TRUE(install.ok());
    install->SetModifyOnly(1);
    install->SetVariant(1);
    install->SetDecimalKey(0);
    ASSERT_EQ(install->Install(), 1);
    EXPECT_EQ(install->m_installDone, 0);
    install->Shutdown();
  }
  const Snapshot after = e2e::Capture();
  const std::vector<std::string> diff = Diff(before, after, kWineNoise);
  SCOPED_TRACE("difference:\n" + Lines(diff));
  EXPECT_EQ(RecordValue(after, "Settings\\1.0\\", "Variant"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(after, "Settings\\1.0\\", "DecimalKey"), "REG_DWORD:0");
  for (const std::string& line : diff) {
    const bool expected = line.find("\\Settings\\1.0\\@") != std::string::npos ||
                          line.find("CurrentVersion\\Uninstall\\") != std::string::npos ||
                          line.find("kbddemo.dll") != std::string::npos ||
                          line.find("PendingFileRenameOperations") != std::string::npos;
    EXPECT_TRUE(expected) << line;
  }
}

// The removal as its menu link starts it: the installed copy of this program runs it.
TEST(RemoveStep, TheInstalledCopyRemovesTheInstallation) {
  const std::wstring copy = Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\e2e_procedures.exe";
  std::string output;
  EXPECT_EQ(winetest::RunCommand(L"\"" + copy + L"\" --gtest_filter=RemovalByTheCopy.* --gtest_brief=1", &output), 0u)
      << output;
  Snapshot before, after = e2e::Capture();
  ASSERT_TRUE(e2e::Load(kBefore, &before));
  const std::vector<std::string> diff = Diff(before, after, kWineNoise);
  SCOPED_TRACE("difference from the state before the installation:\n" + Lines(diff));
  // Until the restart: the running copy (scheduled for deletion), the folders that hold it, the
  // libraries in the system folders and the list of work for the next start.
  for (const std::string& place : Places(diff, '+')) {
    const bool expected = place.find("e2e_procedures.exe") != std::string::npos ||
                          place.find("Demo Layout\\") != std::string::npos ||
                          place.find("kbddemo.dll") != std::string::npos ||
                          place.find("PendingFileRenameOperations") != std::string::npos ||
                          place.find("Demo Polish Layout on the Web") != std::string::npos || AScript(place);
    EXPECT_TRUE(expected) << place;
  }
}

TEST(RemovalByTheCopy, Uninstall) {
  Started install;
  ASSERT_TRUE(install.ok());
  ASSERT_EQ(install->m_installedId, 190u);
  ASSERT_EQ(install->Uninstall(), 1);
  EXPECT_EQ(install->m_useCount, 0u);
  install->Shutdown();
}

TEST(ResidueStep, NothingIsLeftButTheCompletionMark) { e2e::ExpectOnlyTheCompletionMark(); }

// ---- more scenarios, in the Windows 10 prefix after its first residue check ----------------------
// Each step starts from the state of kMore (the first removal's end state), ends with a removal,
// and the next step, after a restart, checks that nothing is left.

const wchar_t kMore[] = L"C:\\e2e\\more.snapshot";

void ExpectNothingLeftSince(const wchar_t* saved) {
  Snapshot before;
  ASSERT_TRUE(e2e::Load(saved, &before));
  const std::vector<std::string> diff = Diff(before, e2e::Capture());
  EXPECT_TRUE(diff.empty()) << "left behind:\n" << Lines(diff);
}

std::wstring NativeSystemFolder() {
  return Folder(CSIDL_WINDOWS) + (winetest::IsWow64() ? L"\\sysnative" : L"\\system32");
}

void WriteSmallFile(const std::wstring& path, const char* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  CloseHandle(file);
}

// What an earlier installer of the layout left: its layout entry (name, product code and file as
// ours), its library in the system folders, its document and web shortcut in the user's
// documents with links on the user's desktop.
std::vector<std::wstring> PrepareEarlierInstallation() {
  CInstall texts(kEmbeddedPackage);
  EXPECT_TRUE(texts.Init(GetModuleHandleW(nullptr)));
  const std::wstring entry = std::wstring(kLayouts) + L"a0000415";
  SetString(HKEY_LOCAL_MACHINE, entry, L"Layout Text", Text(texts, kTextLayoutName));
  SetString(HKEY_LOCAL_MACHINE, entry, L"Layout Product Code", Text(texts, kTextLayoutMatchText));
  SetString(HKEY_LOCAL_MACHINE, entry, L"Layout File", Text(texts, kTextLayoutFileName));
  WriteSmallFile(NativeSystemFolder() + L"\\kbddemo.dll", "earlier library");
  if (winetest::Is64BitSystem()) WriteSmallFile(Folder(CSIDL_WINDOWS) + L"\\syswow64\\kbddemo.dll", "earlier library");
  const std::wstring documents = Folder(CSIDL_PERSONAL), desktop = Folder(CSIDL_DESKTOPDIRECTORY);
  const std::vector<std::wstring> files = {documents + L"\\Demo Polish Layout.txt", desktop + L"\\Demo Polish Layout.lnk",
                                           documents + L"\\Demo Polish Layout on the Web.url",
                                           desktop + L"\\Demo Polish Layout on the Web.lnk"};
  for (const std::wstring& file : files) WriteSmallFile(file, "earlier");
  return files;
}

std::string PendingList() {
  HKEY key;
  std::string out;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ | NativeFlag(),
                    &key) != ERROR_SUCCESS)
    return out;
  std::vector<wchar_t> data(65536, 0);
  DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t) - 4);
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) ==
      ERROR_SUCCESS)
    for (size_t i = 0; i < size / sizeof(wchar_t); ++i) out += data[i] ? static_cast<char>(data[i]) : '|';
  RegCloseKey(key);
  return out;
}

// Whether the list of work for the next start deletes a file whose path ends with name.
bool PendingDeletion(const std::string& list, const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t bar = list.find('|'); bar != std::string::npos; start = bar + 1, bar = list.find('|', start))
    parts.push_back(list.substr(start, bar - start));
  for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2)
    if (parts[i + 1].empty() && parts[i].size() >= name.size() &&
        parts[i].compare(parts[i].size() - name.size(), name.size(), name) == 0)
      return true;
  return false;
}

TEST(EarlierInstallerStep, AnInstallationOverItReplacesItsLinksAndKeepsTheSystemFiles) {
  ASSERT_TRUE(e2e::Save(e2e::Capture(), kMore));
  const std::vector<std::wstring> earlier = PrepareEarlierInstallation();
  const std::string earlierLibrary = Value(e2e::Capture(), "file:" + Utf8(NativeSystemFolder()) + "\\kbddemo.dll");
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->m_installedId, 130u);
    ASSERT_EQ(install->Install(), 1);
    EXPECT_EQ(install->m_useCount, 1u);
    install->Shutdown();
  }
  for (const std::wstring& file : earlier) EXPECT_FALSE(winetest::FileExists(file)) << Utf8(file);
  // The earlier library stays until our staged one replaces it at the restart; nothing deletes it.
  EXPECT_EQ(Value(e2e::Capture(), "file:" + Utf8(NativeSystemFolder()) + "\\kbddemo.dll"), earlierLibrary);
  const std::string pending = PendingList();
  EXPECT_FALSE(PendingDeletion(pending, "kbddemo.dll")) << pending;
  Snapshot now = e2e::Capture();
  EXPECT_EQ(RecordValue(now, "", "UseCount"), "REG_DWORD:1");
  // Then removed as usual.
  RemoveOnce(190);
}

TEST(EarlierRemovalStep, RemovingAnEarlierInstallersLayoutLeavesNoRecord) {
  ExpectNothingLeftSince(kMore);
  const std::vector<std::wstring> earlier = PrepareEarlierInstallation();
  {
    Started install;
    ASSERT_TRUE(install.ok());
    ASSERT_EQ(install->m_installedId, 130u);
    ASSERT_EQ(install->Uninstall(), 1);
    install->Shutdown();
  }
  for (const std::wstring& file : earlier) EXPECT_FALSE(winetest::FileExists(file)) << Utf8(file);
  const Snapshot now = e2e::Capture();
  EXPECT_EQ(Value(now, "reg:" + OwnView() + "\\Software\\DemoLayout\\"), "(none)") << "no record is written";
  EXPECT_EQ(Value(now, "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415\\"), "(none)");
  const std::string pending = PendingList();
  EXPECT_TRUE(PendingDeletion(pending, "\\kbddemo.dll")) << "the earlier library goes at the restart: " << pending;
}

void SetRecordCounter(const wchar_t* key, const wchar_t* name, DWORD value) {
  HKEY handle;
  const std::wstring path = std::wstring(L"Software\\DemoLayout\\Polish") + key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &handle), ERROR_SUCCESS);
  RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
  RegCloseKey(handle);
}

TEST(SharedStep, OneOfTwoInstallationsGoesAndTheSharedFilesStay) {
  ExpectNothingLeftSince(kMore);
  InstallOnce();
  // A second installation shares the files (another version of the layout counts itself in).
  SetRecordCounter(L"", L"UseCount", 2);
  SetRecordCounter(L"\\Links\\AltGr", L"LinkCount", 2);
  const Snapshot before = e2e::Capture();
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->m_useCount, 2u);
    ASSERT_EQ(install->Uninstall(), 1);
    install->Shutdown();
  }
  const Snapshot after = e2e::Capture();
  const std::vector<std::string> diff = Diff(before, after);
  SCOPED_TRACE("difference:\n" + Lines(diff));
  // What goes: the settings, this installation's copy of the program and its link, the layout
  // entry; the library is scheduled for deletion all the same.
  EXPECT_EQ(RecordValue(after, "", "UseCount"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(after, "Links\\AltGr\\", "LinkCount"), "REG_DWORD:1");
  EXPECT_EQ(Value(after, "reg:" + OwnView() + "\\Software\\DemoLayout\\Polish\\Settings\\"), "(none)");
  for (const std::string& place : Places(diff, '-'))
    EXPECT_TRUE(place.find("Settings") != std::string::npos || place.find("e2e_procedures.exe") != std::string::npos ||
                place.find(UninstallName()) != std::string::npos || place.find("a0000415") != std::string::npos)
        << place;
  EXPECT_TRUE(PendingDeletion(PendingList(), "\\kbddemo.dll")) << PendingList();
  // The other installation removes itself later: its own settings key, then its removal.
  HKEY settings;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\DemoLayout\\Polish\\Settings\\1.0", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &settings, nullptr),
            ERROR_SUCCESS);
  const DWORD mark = 190;
  RegSetValueExW(settings, L"Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mark), 4);
  for (const wchar_t* name : {L"SetupCopy", L"SetupLink"}) RegSetValueExW(settings, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2);
  RegCloseKey(settings);
  RemoveOnce(190);
}

TEST(FailingStep, AFailedInstallationKeepsWhatItMadeAndALaterOneEndsClean) {
  ExpectNothingLeftSince(kMore);
  // Another program holds the first document of the installation folder.
  const std::wstring folder = Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\";
  CreateDirectoryW((Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring held = folder + L"Polish letters (AltGr).txt";
  HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->Install(), 0);
    EXPECT_EQ(install->m_installDone, 0);
    install->Shutdown();
  }
  CloseHandle(holder);
  const Snapshot failed = e2e::Capture();
  EXPECT_EQ(Value(failed, "file:" + Utf8(Folder(CSIDL_COMMON_PROGRAMS)) + "\\Demo Layout\\Polish\\"), "folder")
      << "what was made stays";
  EXPECT_EQ(Value(failed, "reg:" + OwnView() + "\\Software\\DemoLayout\\"), "(none)") << "no record yet";
  InstallOnce();
  RemoveOnce(190);
}

// Another vendor's layout keeps its registration: under our layout identifier, or using our
// layout id, the installation refuses before it changes anything, and says why.
TEST(ForeignEntryStep, AnotherLayoutsEntryIsNeverOverwritten) {
  ExpectNothingLeftSince(kMore);
  const struct {
    const wchar_t* key;
    const wchar_t* layoutId;
  } foreign[] = {{L"a0000415", L"0042"}, {L"a0010415", L"00d0"}};
  for (const auto& entry : foreign) {
    SCOPED_TRACE(Utf8(entry.key));
    const std::wstring key = std::wstring(kLayouts) + entry.key;
    SetString(HKEY_LOCAL_MACHINE, key, L"Layout File", L"kbdother.dll");
    SetString(HKEY_LOCAL_MACHINE, key, L"Layout Text", L"Another Polish layout");
    SetString(HKEY_LOCAL_MACHINE, key, L"Layout Id", entry.layoutId);
    const Snapshot before = e2e::Capture();
    {
      Started install;
      ASSERT_TRUE(install.ok());
      EXPECT_EQ(install->Install(), 0);
      EXPECT_EQ(install->m_installFailureText, kTextLayoutTaken);
      install->Shutdown();
    }
    const std::vector<std::string> diff = Diff(before, e2e::Capture());
    EXPECT_TRUE(diff.empty()) << "changed:\n" << Lines(diff);
    winetest::DeleteTree(HKEY_LOCAL_MACHINE, key, NativeFlag());
  }
}

TEST(FinalResidueStep, NothingIsLeft) { ExpectNothingLeftSince(kMore); }

// A user who changes their mind before restarting: installs, removes, and installs again with
// other choices (their own language, which is neither Polish nor English, the third variant, the
// decimal comma, keys moved). The input-language command hands its script to a process of its
// own that reads it later, as control.exe does.
TEST(ChangeOfMindStep, InstallRemoveAndInstallAgain) {
  ExpectNothingLeftSince(kMore);
  InstallOnce();
  RemoveOnce(190);
  SetEnvironmentVariableW(L"SCRIPT_RECORDER_LATE", L"1");
  const int scripts = ScriptCount();
  {
    Started install;
    ASSERT_TRUE(install.ok());
    EXPECT_EQ(install->m_installedId, 0u);
    install->m_layoutLangId = 0x0407;
    install->SetVariant(2);
    install->SetDecimalKey(0);
    layouttest::Reassign(*install);
    ASSERT_EQ(install->Install(), 1);
    install->Shutdown();
  }
  SetEnvironmentVariableW(L"SCRIPT_RECORDER_LATE", nullptr);
  if (winetest::ReportedVersion() < 60) return;
  const std::string script = WaitForScript(scripts + 1);
  EXPECT_NE(script.find("Action=\"add\" ID=\"0407:a0000415\""), std::string::npos) << "read late: " << script;
}

// After the restart the last installation is what is in place; its removal takes the layout from
// the language it was added to, gives the switching keys back, and leaves nothing after a restart.
TEST(ChangedMindStep, TheLastInstallationIsInPlaceAndItsRemovalUndoesIt) {
  e2e::ExpectInstalledLibrary(2, 0, layouttest::ExpectedChanges());
  const Snapshot now = e2e::Capture();
  EXPECT_EQ(RecordValue(now, "", "UseCount"), "REG_DWORD:1");
  EXPECT_EQ(RecordValue(now, "Settings\\1.0\\", "Variant"), "REG_DWORD:2");
  EXPECT_EQ(Value(now, "reg:" + NativeView() + "\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415\\@Layout File"),
            "REG_SZ:kbddemo.dll");
  EXPECT_TRUE(winetest::FileExists(Folder(CSIDL_PROGRAM_FILES) + L"\\Demo Layout\\Polish\\e2e_procedures.exe"));
  SetEnvironmentVariableW(L"SCRIPT_RECORDER_LATE", L"1");
  const int scripts = ScriptCount();
  RemoveOnce(190);
  SetEnvironmentVariableW(L"SCRIPT_RECORDER_LATE", nullptr);
  if (winetest::ReportedVersion() < 60) return;
  const std::string script = WaitForScript(scripts + 1);
  EXPECT_NE(script.find("Action=\"remove\" ID=\"0407:a0000415\""), std::string::npos) << "read late: " << script;
}

// Run as the system account (as deployment tools run it) the installation changes nobody's
// profile: each user's next sign-in runs the installed copy's per-user steps (Active Setup), and
// after the removal the package's undo command instead, under a higher version.
TEST(SystemAccountStep, PerUserStepsAtEachSignInBothWays) {
  ExpectNothingLeftSince(kMore);
  const std::wstring component =
      L"Software\\Microsoft\\Active Setup\\Installed Components\\{C00D2462-1F17-4976-A3B3-2FDD95E48B82}";
  const std::string key = "reg:" + OwnView() + "\\" + Utf8(component) + "\\";
  const Snapshot before = e2e::Capture();
  const int scripts = ScriptCount();
  {
    Started install;
    ASSERT_TRUE(install.ok());
    install->m_runsAsSystem = 1;
    ASSERT_EQ(install->Install(), 1);
    install->Shutdown();
  }
  Snapshot now = e2e::Capture();
  const std::string copy = Utf8(Folder(CSIDL_PROGRAM_FILES)) + "\\Demo Layout\\Polish\\e2e_procedures.exe";
  EXPECT_EQ(Value(now, key + "@StubPath"), "REG_SZ:\"" + copy + "\" /peruser /default yes /switchkeys yes");
  EXPECT_EQ(Value(now, key + "@Version"), "REG_SZ:1,0,0,1");
  EXPECT_EQ(Value(now, key + "@IsInstalled"), "REG_DWORD:1");
  EXPECT_EQ(Value(now, "reg:HKCU\\Keyboard Layout\\Toggle\\@Hotkey"), Value(before, "reg:HKCU\\Keyboard Layout\\Toggle\\@Hotkey"));
  Sleep(1500);
  EXPECT_EQ(ScriptCount(), scripts) << "no input-language script for the system account";

  {
    Started install;
    ASSERT_TRUE(install.ok());
    install->m_runsAsSystem = 1;
    ASSERT_EQ(install->Uninstall(), 1);
    install->Shutdown();
  }
  now = e2e::Capture();
  const std::string stub = Value(now, key + "@StubPath");
  EXPECT_NE(stub.find("'0409:a0000415'"), std::string::npos) << stub;
  EXPECT_EQ(Value(now, key + "@Version"), "REG_SZ:1,0,0,2");
  // The undo stays for the users who have not signed in since; this test takes it away.
  winetest::DeleteTree(HKEY_LOCAL_MACHINE, component, 0);
}

// ---- start-up refusals (a prefix without a Cyrillic layout, Windows 10) -------------------------

// Answers the message boxes of this process from a second thread, as a person would: reads the
// text and the caption, then presses OK (or Yes).
class BoxAnswerer {
 public:
  BoxAnswerer() : m_thread([this] { Watch(); }) {}
  ~BoxAnswerer() {
    m_stop = true;
    m_thread.join();
  }
  struct Box {
    std::wstring text, caption;
  };
  std::vector<Box> Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
  }

 private:
  static BOOL CALLBACK Each(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process != GetCurrentProcessId() || wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    auto* answerer = reinterpret_cast<BoxAnswerer*>(self);
    Box box;
    wchar_t text[4096] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 4096);
    box.text = text;
    GetWindowTextW(window, text, 4096);
    box.caption = text;
    {
      std::lock_guard<std::mutex> lock(answerer->m_mutex);
      answerer->m_boxes.push_back(box);
    }
    const int button = GetDlgItem(window, IDOK) ? IDOK : IDYES;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    return TRUE;
  }
  void Watch() {
    while (!m_stop) {
      EnumWindows(Each, reinterpret_cast<LPARAM>(this));
      Sleep(100);
    }
  }
  std::mutex m_mutex;
  std::vector<Box> m_boxes;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

TEST(StartUpStep, WithoutACyrillicLayoutTheMessageAndTheRegionSettings) {
  ASSERT_NE(getenv("DISPLAY"), nullptr) << "message boxes need a display: run the Wine tests under xvfb-run";
  Com com;
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  DeleteFileW(kHandOver);
  std::vector<BoxAnswerer::Box> boxes;
  {
    BoxAnswerer answerer;
    EXPECT_EQ(install.StartUpChecks(), CInstall::StartUp::kEnded);
    boxes = answerer.Boxes();
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Text(install, kTextNoCyrillicLayout));
  EXPECT_EQ(boxes[0].caption, Text(install, kTextMessageCaption));
  // The user's default language decides the messages' language (a Polish user: the Polish table).
  EXPECT_EQ(install.m_uiLanguage, getenv("SETUP_E2E_EXPECT_POLISH") ? 1u : 0u);
  // The hand-over started the program of texts 53-55 (in this package the recorder).
  bool started = false;
  for (int i = 0; i < 50 && !started; ++i, Sleep(100)) started = winetest::FileExists(kHandOver);
  EXPECT_TRUE(started);
}

TEST(StartUpStep, AnotherCopyIsBroughtToTheFrontWithoutAMessage) {
  Com com;
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  // The other copy's frame window: a window of the installer's class.
  const std::wstring className = Text(install, kTextWindowClass);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className.c_str();
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  HWND other = CreateWindowW(className.c_str(), L"other copy", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  std::vector<BoxAnswerer::Box> boxes;
  {
    BoxAnswerer answerer;
    EXPECT_EQ(install.StartUpChecks(), CInstall::StartUp::kRefused);
    Sleep(300);
    boxes = answerer.Boxes();
  }
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(install.m_exitCode, 1618u);
  DestroyWindow(other);
  UnregisterClassW(className.c_str(), GetModuleHandleW(nullptr));
}

TEST(StartUpStep, WindowsXPOnA64BitProcessorIsRefused) {
  // The version a prefix reports is read when a process starts: a second run of this program.
  HKEY wine;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0, KEY_WRITE, nullptr, &wine, nullptr),
            ERROR_SUCCESS);
  const wchar_t xp[] = L"winxp";
  RegSetValueExW(wine, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(xp), sizeof xp);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string output;
  const DWORD code = winetest::RunCommand(L"\"" + std::wstring(self) + L"\" --gtest_filter=StartUpChild.* --gtest_brief=1",
                                          &output);
  const wchar_t win10[] = L"win10";
  RegSetValueExW(wine, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(win10), sizeof win10);
  RegCloseKey(wine);
  EXPECT_EQ(code, 0u) << output;
}

TEST(StartUpChild, UnsupportedPlatform) {
  WINETEST_SKIP_UNLESS(winetest::Is64BitSystem(), "Windows XP on x86 is supported");
  Com com;
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  std::vector<BoxAnswerer::Box> boxes;
  {
    BoxAnswerer answerer;
    EXPECT_EQ(install.StartUpChecks(), CInstall::StartUp::kRefused);
    boxes = answerer.Boxes();
  }
  EXPECT_EQ(install.m_osVersion, 51);
  EXPECT_EQ(install.m_exitCode, 1633u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Text(install, kTextUnsupportedPlatform));
}

}  // namespace
