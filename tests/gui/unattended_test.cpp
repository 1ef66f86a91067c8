// setup.exe run as deployment tools run it, without a window, in the Windows 10 GUI prefix after
// its wizard scenarios (tests/gui/CMakeLists.txt):
//   Quiet           a malformed switch changes nothing (87); a quiet installation with switches
//                   (3010), its log, its entry in Installed apps; another copy running (1618)
//   (wineboot -r)
//   QuietRemoval    the library as the switches chose it; the entry's QuietUninstallString (3010)
//   (wineboot -r)
//   Residue         nothing left but the completion mark (scenarios_test.cpp)
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/e2e/snapshot.h"
#include "tests/e2e/state_checks.h"
#include "tests/gui/gui_driver.h"
#include "tests/wine/wine_test.h"
#include "ui/resource_ids.h"

namespace {

const wchar_t kLog[] = L"C:\\gui\\quiet.log";

// setup.exe with these arguments; its whole exit code.
DWORD RunSetup(const std::wstring& arguments, std::string* output) {
  return winetest::RunCommand(L"\"" + std::wstring(SETUP_GUI_PROGRAM) + L"\" " + arguments, output, 120000);
}

std::wstring Text(uint32_t id) {
  CInstall texts;
  GString text;
  if (texts.Init(GetModuleHandleW(nullptr))) texts.GetText(id, text);
  return text.IsEmpty() ? std::wstring() : std::wstring(text.WideAt(0));
}

// The entry in Installed apps, in the view Windows lists 32-bit programs in.
std::string EntryValue(const e2e::Snapshot& snapshot, const char* name) {
  return e2e::Value(snapshot, "reg:" + e2e::OwnView() + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                  winetest::Narrow(Text(kTextLayoutMatchText)) + "\\@" + name);
}

TEST(Quiet, ABadSwitchChangesNothingThenAnInstallationWithSwitches) {
  const e2e::Snapshot before = e2e::Capture();
  std::string output;
  EXPECT_EQ(RunSetup(L"/quiet /variant 7", &output), 87u) << output;
  EXPECT_EQ(RunSetup(L"/quiet /reboot", &output), 87u) << output;
  EXPECT_TRUE(e2e::Diff(before, e2e::Capture()).empty()) << e2e::Lines(e2e::Diff(before, e2e::Capture()));

  CreateDirectoryW(L"C:\\gui", nullptr);
  EXPECT_EQ(RunSetup(std::wstring(L"/quiet /norestart /log ") + kLog +
                         L" /variant 1 /decimalkey comma /switchkeys no /desktoplinks no /key 3A=00A2",
                     &output),
            3010u)
      << output;
  const e2e::Snapshot after = e2e::Capture();
  EXPECT_EQ(e2e::RecordValue(after, "Settings\\1.0\\", "Variant"), "REG_DWORD:1");
  EXPECT_EQ(e2e::RecordValue(after, "Settings\\1.0\\", "DecimalKey"), "REG_DWORD:0");
  EXPECT_EQ(e2e::Value(after, "reg:HKCU\\Keyboard Layout\\Toggle\\@Hotkey"), e2e::Value(before, "reg:HKCU\\Keyboard Layout\\Toggle\\@Hotkey"))
      << "the switching keys stay";
  const std::string desktop = "file:" + e2e::Utf8(e2e::Folder(CSIDL_COMMON_DESKTOPDIRECTORY));
  EXPECT_EQ(e2e::Value(after, desktop + "\\Polish letters (AltGr).lnk"), "(none)") << "no desktop links";
  std::string log;
  ASSERT_TRUE(winetest::ReadWholeFile(kLog, &log));
  for (const char* line : {"administrator: done", "files: done", "layout library: done", "record: done",
                           "Installed apps entry: done", "installation: done", "exit code 3010"})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in:\n" << log;

  // Installed apps: the installed copy removes it, with a window or without.
  const std::string copy = e2e::Utf8(e2e::Folder(CSIDL_PROGRAM_FILES)) + "\\Demo Layout\\Polish\\" +
                           winetest::Narrow(std::wstring(SETUP_GUI_PROGRAM).substr(std::wstring(SETUP_GUI_PROGRAM).rfind(L'\\') + 1));
  EXPECT_EQ(EntryValue(after, "DisplayName"), "REG_SZ:" + winetest::Narrow(Text(kTextBannerHead)));
  EXPECT_EQ(EntryValue(after, "DisplayVersion"), "REG_SZ:" + winetest::Narrow(Text(kTextDisplayVersion)));
  EXPECT_EQ(EntryValue(after, "Publisher"), "REG_SZ:" + winetest::Narrow(Text(kTextPublisher)));
  EXPECT_EQ(EntryValue(after, "UninstallString"), "REG_SZ:\"" + copy + "\"");
  EXPECT_EQ(EntryValue(after, "QuietUninstallString"), "REG_SZ:\"" + copy + "\" /uninstall /quiet");
  std::string list;
  winetest::RunCommand(L"uninstaller.exe --list", &list);
  EXPECT_NE(list.find(winetest::Narrow(Text(kTextBannerHead))), std::string::npos) << list;

  // While the wizard is open, a quiet run ends at once.
  gui::Driver wizard;
  ASSERT_TRUE(wizard.Start(SETUP_GUI_PROGRAM, Text(kTextWindowClass)));
  ASSERT_TRUE(wizard.WaitForPage(IDC_WELCOME_TITLE));
  EXPECT_EQ(RunSetup(L"/quiet /uninstall", &output), 1618u) << output;
  ASSERT_TRUE(wizard.Close());
  HWND box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box && gui::Driver::Answer(box, IDYES));
  EXPECT_EQ(wizard.WaitForEnd(), 1602);
}

// An administrator whose token User Account Control filtered: the program starts again through
// the elevation prompt with the same arguments, and ends with that copy's exit code. Wine's
// "runas" gives no full token, so the second copy is filtered too: it shows text 123 (it never
// starts a third) and ends failed.
TEST(Quiet, AFilteredAdministratorStartsAgainThroughTheElevationPrompt) {
  HANDLE own = nullptr, primary = nullptr;
  TOKEN_LINKED_TOKEN linked = {};
  DWORD size = 0;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own));
  ASSERT_TRUE(GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size)) << "no filtered token here";
  ASSERT_TRUE(DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary));
  std::wstring command = L"\"" + std::wstring(SETUP_GUI_PROGRAM) + L"\" /variant 2";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION filtered = {};
  ASSERT_TRUE(CreateProcessAsUserW(primary, SETUP_GUI_PROGRAM, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &filtered));
  // The message box of another process than the filtered one.
  HWND box = nullptr;
  DWORD owner = 0;
  for (int i = 0; i < 600 && !box; ++i, Sleep(100)) {
    HWND found = FindWindowW(L"#32770", nullptr);
    if (found && GetWindowThreadProcessId(found, &owner) && owner != filtered.dwProcessId && IsWindowVisible(found)) box = found;
  }
  ASSERT_TRUE(box) << "no second copy";
  EXPECT_EQ(gui::Driver::BoxText(box), Text(kTextAdminRequired));
  ASSERT_TRUE(gui::Driver::Answer(box, IDOK));
  EXPECT_EQ(WaitForSingleObject(filtered.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(filtered.hProcess, &code);
  EXPECT_EQ(code, 1603u) << "the second copy's code";
  for (HANDLE handle : {filtered.hProcess, filtered.hThread, primary, linked.LinkedToken, own}) CloseHandle(handle);
}

// A quiet installation over this one would keep its settings; here only the sign-in stub's steps.
TEST(Quiet, TheSignInStubSetsTheUsersOwnSwitchingKeys) {
  std::string output;
  EXPECT_EQ(RunSetup(L"/peruser /switchkeys yes /default no", &output), 0u) << output;
  EXPECT_EQ(e2e::Value(e2e::Capture(), "reg:HKCU\\Keyboard Layout\\Toggle\\@Hotkey"), "REG_SZ:3");
}

TEST(QuietRemoval, TheLibraryAsChosenThenTheQuietUninstallString) {
  e2e::ExpectInstalledLibrary(1, 0, L" --vk 3A=00A2 --decimal");
  const std::string quiet = EntryValue(e2e::Capture(), "QuietUninstallString");
  ASSERT_EQ(quiet.rfind("REG_SZ:", 0), 0u) << quiet;
  std::string output;
  EXPECT_EQ(winetest::RunCommand(e2e::Wide(quiet.substr(7)), &output, 120000), 3010u) << output;
  EXPECT_EQ(EntryValue(e2e::Capture(), "DisplayName"), "(none)") << "the last removal takes the entry";
}

}  // namespace
