// The real setup.exe driven through its wizard under Wine on Xvfb (tests/gui/gui_driver.h), in
// prefixes of their own that report Windows XP, 7 and 10, in ctest steps (tests/gui/CMakeLists.txt):
//   FirstInstallation  welcome, licence, setup, finish; the state the installation made
//   (wineboot -r)
//   InstalledLibrary, InstalledWelcome, Removal   the library in place; the installed layout's
//                      welcome page, a change of settings, the removal and the restart request
//   (wineboot -r)
//   Residue, SecondCopy   nothing left but the completion mark; a second start
//   PolishUser         a Polish user's first page, every text from the Polish table
// The expected texts come from the same package, through an installer object of this process;
// the state checks are the end-to-end tests' (tests/e2e/state_checks.h).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/e2e/state_checks.h"
#include "tests/gui/gui_driver.h"
#include "tests/gui/installed_record.h"
#include "tests/wine/wine_test.h"
#include "ui/resource_ids.h"

namespace {

class Texts {
 public:
  Texts() { m_ok = m_install.Init(GetModuleHandleW(nullptr)); }
  bool ok() const { return m_ok; }
  void Language(uint32_t language) { m_install.SetUiLanguage(language); }
  std::wstring operator()(uint32_t id) {
    GString text;
    m_install.GetText(id, text);
    return text.WideAt(0);
  }
  std::wstring Formatted(uint32_t formatId, uint32_t argumentId) {
    GString format, argument, text;
    m_install.GetText(formatId, format);
    m_install.GetText(argumentId, argument);
    Format(text, format.WideAt(0), argument.WideAt(0));
    return text.WideAt(0);
  }

 private:
  CInstall m_install;
  bool m_ok = false;
};

// The version this prefix reports, as major * 10 + minor.
int ReportedVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  GetVersionExW(&info);
  return static_cast<int>(info.dwMajorVersion * 10 + info.dwMinorVersion);
}

// The record as the next start reads it: the installed id and the restored variant.
struct Record {
  uint32_t installedId = 0;
  int32_t variant = -1;
};

Record ReadRecord() {
  Record record;
  gui::ReadInstalledRecord([&record](CInstall& install) {
    record.installedId = install.m_installedId;
    record.variant = install.m_variant;
  });
  return record;
}

uint32_t InstalledId() { return ReadRecord().installedId; }

// How people start the program, one way per prefix: from a console by its bare name in its own
// folder (Windows 7), by a launcher that gives a relative path and another start folder (XP),
// and as the shell does, by its full path in quotes (10). Its copy must be made in every case.
gui::Driver::Launch LaunchOfThisPrefix(int version) {
  std::wstring program = SETUP_GUI_PROGRAM;
  const std::wstring folder = program.substr(0, program.rfind(L'\\'));
  if (version == 61) return {L"setup", folder};
  if (version < 60) return {L"..\\downloads\\setup.exe", L"C:\\windows"};
  return {};
}

void SetDefault(const std::wstring& path, const std::wstring& value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

const wchar_t kOpened[] = L"C:\\gui\\opened.txt";

// Wine only stubs the restart: its call shows in Wine's debug output (advapi32's notes of stubs),
// with the arguments that ask for a restart (reboot 1) for a planned reconfiguration. Each step
// sends Wine's output to this file (tests/gui/CMakeLists.txt).
const wchar_t kWineOutput[] = L"C:\\gui\\wine-output.log";
const gui::Driver::WineDebug kRestartLog = {L"-all,fixme+advapi", kWineOutput};

bool RestartRequested(const gui::Driver& setup) {
  const std::string log = setup.DebugLog();
  const size_t call = log.find("InitiateSystemShutdownExW");
  return call != std::string::npos && log.find(" 0 0 1 0x80020004", call) != std::string::npos;
}

// Cancel asks text 96; No keeps the wizard on the page (which has the control `page`).
void CancelKeepsThePage(const gui::Driver& setup, Texts& text, int page) {
  ASSERT_TRUE(setup.Click(IDC_CANCEL));
  HWND box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(gui::Driver::BoxText(box), text(kTextCloseQuestion));
  EXPECT_EQ(gui::Driver::BoxCaption(box), text(kTextMessageCaption));
  ASSERT_TRUE(gui::Driver::Answer(box, IDNO));
  Sleep(500);
  EXPECT_TRUE(setup.WaitForPage(page)) << page;
}

std::string ReadOpened() {
  std::string text;
  if (FILE* file = _wfopen(kOpened, L"r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    fclose(file);
  }
  return text;
}

TEST(FirstInstallation, WelcomeLicenceSetupFinish) {
  Texts text;
  ASSERT_TRUE(text.ok());
  const char* prefix = getenv("SETUP_TEST_PREFIX");
  e2e::PrepareLikeWindows(prefix ? prefix : "");
  ASSERT_EQ(InstalledId(), 0u);
  CreateDirectoryW(L"C:\\gui", nullptr);

  gui::Driver setup;
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass), kRestartLog, LaunchOfThisPrefix(ReportedVersion())));
  ASSERT_TRUE(setup.WaitForPage(IDC_WELCOME_TITLE));

  // Welcome, not installed: cancel, the language list and next; the installed set hidden.
  EXPECT_EQ(setup.Text(IDC_WELCOME_TITLE), text.Formatted(kTextWelcomeTitleFormat, kTextLayoutName));
  EXPECT_EQ(setup.Text(IDC_WELCOME_BODY), text(kTextWelcomeBody));
  EXPECT_EQ(setup.Text(IDC_NEXT), text(kTextNext));
  EXPECT_TRUE(setup.Visible(IDC_NEXT) && setup.Enabled(IDC_NEXT));
  for (int id : {IDC_REMOVE, IDC_CHANGE_SETTINGS, IDC_OPEN_DOCUMENT}) EXPECT_FALSE(setup.Visible(id)) << id;
  EXPECT_EQ(setup.ComboItems(IDC_UI_LANGUAGE), (std::vector<std::wstring>{text(kTextUiLanguage0), text(kTextUiLanguage1)}));
  EXPECT_EQ(setup.ComboSelection(IDC_UI_LANGUAGE), 0);

  // The other language re-texts the page and the list itself; the choice stays selected.
  ASSERT_TRUE(setup.Select(IDC_UI_LANGUAGE, 1));
  text.Language(1);
  const std::wstring title = text.Formatted(kTextWelcomeTitleFormat, kTextLayoutName);
  for (int i = 0; i < 50 && setup.Text(IDC_WELCOME_TITLE) != title; ++i) Sleep(100);
  EXPECT_EQ(setup.Text(IDC_WELCOME_TITLE), title);
  EXPECT_EQ(setup.Text(IDC_CANCEL), text(kTextCancel));
  EXPECT_EQ(setup.ComboItems(IDC_UI_LANGUAGE), (std::vector<std::wstring>{text(kTextUiLanguage0), text(kTextUiLanguage1)}));
  EXPECT_EQ(setup.ComboSelection(IDC_UI_LANGUAGE), 1);
  ASSERT_TRUE(setup.Select(IDC_UI_LANGUAGE, 0));
  text.Language(0);
  for (int i = 0; i < 50 && setup.Text(IDC_CANCEL) != text(kTextCancel); ++i) Sleep(100);
  EXPECT_EQ(setup.Text(IDC_WELCOME_BODY), text(kTextWelcomeBody));

  // Cancel asks on every page before the finish; No keeps the wizard on the page.
  CancelKeepsThePage(setup, text, IDC_WELCOME_TITLE);
  ASSERT_TRUE(setup.Click(IDC_NEXT));

  // Licence: next only while the box is ticked.
  ASSERT_TRUE(setup.WaitForPage(IDC_EULA_ACCEPTED));
  CancelKeepsThePage(setup, text, IDC_EULA_ACCEPTED);
  EXPECT_EQ(setup.Text(IDC_EULA_TITLE), text(kTextLicenceTitle));
  EXPECT_FALSE(setup.Text(IDC_EULA_TEXT).empty());
  EXPECT_FALSE(setup.Checked(IDC_EULA_ACCEPTED));
  EXPECT_FALSE(setup.Enabled(IDC_NEXT));
  for (bool ticked : {true, false, true}) {
    ASSERT_TRUE(setup.Click(IDC_EULA_ACCEPTED));
    for (int i = 0; i < 50 && setup.Enabled(IDC_NEXT) != ticked; ++i) Sleep(100);
    EXPECT_EQ(setup.Checked(IDC_EULA_ACCEPTED), ticked);
    EXPECT_EQ(setup.Enabled(IDC_NEXT), ticked);
  }
  ASSERT_TRUE(setup.Click(IDC_NEXT));

  // Setup with its defaults: every box shown, but the input language and its box only from
  // Windows Vista on, the desktop box only before Windows 8 (later the desktop links are always
  // made); expert page 2 never.
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
  CancelKeepsThePage(setup, text, IDC_INSTALL);
  for (int id : {IDC_LAYOUT_LANGUAGE_LABEL, IDC_LAYOUT_LANGUAGE, IDC_LANGUAGE_SCRIPT})
    EXPECT_EQ(setup.Visible(id), ReportedVersion() >= 60) << id;
  for (int id : {IDC_USER_HOTKEYS, IDC_ALT_IMAGE}) EXPECT_TRUE(setup.Visible(id)) << id;
  EXPECT_EQ(setup.Visible(IDC_DESKTOP_LINKS), ReportedVersion() < 62) << ReportedVersion();
  EXPECT_FALSE(setup.Visible(IDC_SHOW_EXPERT2));
  EXPECT_EQ(setup.ComboItems(IDC_VARIANT).size(), 3u);
  EXPECT_NE(setup.ComboSelection(IDC_VARIANT), -1);
  ASSERT_TRUE(setup.Click(IDC_INSTALL));

  // Finish after the install; the close box ends the wizard without a question or a restart.
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  EXPECT_EQ(setup.Text(IDC_DONE_TITLE), text(kTextWelcomeBodyInstalled));
  // From Vista on text 135; before, text 134 with the layout's name (it adds no input language).
  const std::wstring body = ReportedVersion() >= 60 ? text(kTextFinishBody) : text.Formatted(134, kTextLayoutName);
  EXPECT_EQ(setup.Text(IDC_DONE_BODY).rfind(body, 0), 0u) << setup.Text(IDC_DONE_BODY);
  ASSERT_TRUE(setup.Close());
  EXPECT_EQ(setup.WaitForEnd(), 3010) << "done, the restart left to later";
  ASSERT_NE(GetFileAttributesW(kWineOutput), INVALID_FILE_ATTRIBUTES) << "the step sends Wine's output there";
  EXPECT_FALSE(RestartRequested(setup)) << setup.DebugLog();

  EXPECT_EQ(InstalledId(), 190u);
  e2e::ExpectFirstInstallation(e2e::Capture(), L"setup.exe");
}

// After the restart: the installed library is the package's image of the default variant.
TEST(InstalledLibrary, TheRestartPutItInPlace) { e2e::ExpectInstalledLibrary(0, 0); }

// Runs after the first installation, in the same prefix.
TEST(InstalledWelcome, EscapeStaysOpenOpensChangeSettingsKeepsTheRest) {
  Texts text;
  ASSERT_TRUE(text.ok());
  ASSERT_EQ(InstalledId(), 190u) << "needs FirstInstallation first";
  // The related document's file type opens in the recorder.
  SetDefault(text(kTextRelatedFileType), L"LayoutGuiTest.document");
  SetDefault(L"LayoutGuiTest.document\\shell\\open\\command", std::wstring(L"\"") + OPEN_RECORDER + L"\" \"%1\"");
  DeleteFileW(kOpened);

  gui::Driver setup;
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_REMOVE));
  EXPECT_EQ(setup.Text(IDC_WELCOME_TITLE), text.Formatted(kTextWelcomeTitleInstalledFormat, kTextLayoutName));
  EXPECT_EQ(setup.Text(IDC_WELCOME_BODY), text(kTextWelcomeBodyInstalled));
  for (int id : {IDC_REMOVE, IDC_CHANGE_SETTINGS, IDC_OPEN_DOCUMENT}) EXPECT_TRUE(setup.Visible(id)) << id;
  EXPECT_FALSE(setup.Visible(IDC_NEXT));

  // Escape is no command: the dialog manager would make it the open button's.
  HWND open = GetDlgItem(setup.Page(), IDC_OPEN_DOCUMENT);
  PostMessageW(open, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(open, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  Sleep(3000);
  EXPECT_EQ(ReadOpened(), "");
  EXPECT_TRUE(setup.Visible(IDC_REMOVE));

  // The open button hands the related document to the associated program and stays.
  ASSERT_TRUE(setup.Click(IDC_OPEN_DOCUMENT));
  for (int i = 0; i < 100 && ReadOpened().empty(); ++i) Sleep(100);
  GString document;
  document.AssignWide(text(kTextRelatedDocument).c_str(), -1);
  EXPECT_EQ(ReadOpened(), std::string(document.AsNarrow(0)) + "\n");
  EXPECT_TRUE(setup.Visible(IDC_REMOVE));

  // Change settings: straight to the setup page; only the image option, the variant and the
  // decimal key are offered.
  ASSERT_TRUE(setup.Click(IDC_CHANGE_SETTINGS));
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
  for (int id : {IDC_LANGUAGE_SCRIPT, IDC_USER_HOTKEYS, IDC_DESKTOP_LINKS, IDC_LAYOUT_LANGUAGE,
                 IDC_LAYOUT_LANGUAGE_LABEL})
    EXPECT_FALSE(setup.Visible(id)) << id;
  for (int id : {IDC_ALT_IMAGE, IDC_VARIANT, IDC_DECIMAL_KEY}) EXPECT_TRUE(setup.Visible(id)) << id;
  ASSERT_TRUE(setup.Select(IDC_VARIANT, 1));
  Sleep(500);
  ASSERT_TRUE(setup.Click(IDC_INSTALL));
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  ASSERT_TRUE(setup.Close());
  EXPECT_EQ(setup.WaitForEnd(), 3010) << "done, the restart left to later";

  const Record record = ReadRecord();
  EXPECT_EQ(record.installedId, 190u);
  EXPECT_EQ(record.variant, 1);
}

}  // namespace

// In the same prefix: the removal and its question.
// Started the way people remove software: Installed apps (here Wine's own client of the list)
// shows the entry and runs its UninstallString, the installed copy, which opens at its welcome page.
TEST(Removal, NoKeepsThePageYesRemoves) {
  Texts text;
  ASSERT_TRUE(text.ok());
  ASSERT_EQ(InstalledId(), 190u) << "needs FirstInstallation first";
  std::string list;
  winetest::RunCommand(L"uninstaller.exe --list", &list);
  EXPECT_NE(list.find(winetest::Narrow(text(kTextLayoutMatchText)) + "|||" + winetest::Narrow(text(kTextBannerHead))),
            std::string::npos)
      << list;

  gui::Driver setup;
  ASSERT_TRUE(setup.Start(L"C:\\windows\\system32\\uninstaller.exe", text(kTextWindowClass), kRestartLog,
                          {L"uninstaller.exe --remove " + text(kTextLayoutMatchText), L""}));
  ASSERT_TRUE(setup.FollowFrame());
  ASSERT_TRUE(setup.WaitForPage(IDC_REMOVE));
  for (int answer : {IDNO, IDYES}) {
    ASSERT_TRUE(setup.Click(IDC_REMOVE));
    HWND box = setup.WaitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(gui::Driver::BoxText(box), text.Formatted(kTextRemoveQuestionFormat, kTextBannerHead));
    ASSERT_TRUE(gui::Driver::Answer(box, answer));
    if (answer == IDNO) {
      Sleep(1000);
      EXPECT_TRUE(setup.Visible(IDC_REMOVE) && setup.Enabled(IDC_REMOVE));
    }
  }
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  EXPECT_EQ(setup.Text(IDC_DONE_TITLE), L"");
  EXPECT_EQ(setup.Text(IDC_DONE_BODY), text(kTextFinishRemovedBody));
  EXPECT_EQ(setup.Text(IDC_FINISH), text(kTextFinishButton));
  // The finish button ends the wizard and has Windows restarted.
  ASSERT_TRUE(setup.Click(IDC_FINISH));
  EXPECT_EQ(setup.WaitForEnd(), 1641) << "done, the restart started";
  EXPECT_TRUE(RestartRequested(setup)) << setup.DebugLog();
  EXPECT_EQ(InstalledId(), 0u);
}

// After the removal and the restart.
TEST(Residue, NothingIsLeftButTheCompletionMark) { e2e::ExpectOnlyTheCompletionMark(); }

// The number of frame windows of the installer's class on the desktop.
int FrameCount(const std::wstring& frameClass) {
  int count = 0;
  for (HWND window = FindWindowW(frameClass.c_str(), nullptr); window;
       window = FindWindowExW(nullptr, window, frameClass.c_str(), nullptr))
    ++count;
  return count;
}

TEST(SecondCopy, BringsTheFirstToTheFrontAndEnds) {
  Texts text;
  ASSERT_TRUE(text.ok());
  gui::Driver first;
  ASSERT_TRUE(first.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass)));
  ASSERT_TRUE(first.WaitForPage(IDC_WELCOME_TITLE));

  // A second start finds the first copy's frame, brings it to the front and ends at once.
  std::wstring commandLine = std::wstring(L"\"") + SETUP_GUI_PROGRAM + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION second = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &second));
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 1618u) << "another copy runs";
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
  EXPECT_EQ(FrameCount(text(kTextWindowClass)), 1);
  EXPECT_TRUE(first.Visible(IDC_NEXT)) << "the first copy goes on";

  // Cancel asks first; Yes ends the wizard.
  ASSERT_TRUE(first.Click(IDC_CANCEL));
  HWND box = first.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(gui::Driver::BoxText(box), text(kTextCloseQuestion));
  ASSERT_TRUE(gui::Driver::Answer(box, IDYES));
  EXPECT_EQ(first.WaitForEnd(), 1602) << "cancelled";
}

// A user whose default language is Polish (LC_ALL=pl_PL.UTF-8) sees the first page in Polish:
// every text from the Polish table, the hidden buttons' too, and the close question.
TEST(PolishUser, EveryTextOfTheFirstPageIsPolish) {
  Texts text, english;
  ASSERT_TRUE(text.ok() && english.ok());
  text.Language(1);
  ASSERT_NE(text(kTextNext), english(kTextNext)) << "the tables differ";
  gui::Driver setup;
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_WELCOME_TITLE));
  EXPECT_EQ(gui::Driver::BoxCaption(setup.Frame()), text(kTextMessageCaption));
  EXPECT_EQ(setup.Text(IDC_WELCOME_TITLE), text.Formatted(kTextWelcomeTitleFormat, kTextLayoutName));
  EXPECT_EQ(setup.Text(IDC_WELCOME_BODY), text(kTextWelcomeBody));
  const struct {
    int control;
    uint32_t text;
  } texts[] = {{IDC_UI_LANGUAGE_LABEL, kTextUiLanguageLabel}, {IDC_REMOVE, kTextRemoveButton},
               {IDC_CANCEL, kTextCancel},   {IDC_NEXT, kTextNext},
               {IDC_OPEN_DOCUMENT, kTextOpenDocumentButton}, {IDC_CHANGE_SETTINGS, kTextChangeSettingsButton}};
  for (const auto& expected : texts) EXPECT_EQ(setup.Text(expected.control), text(expected.text)) << expected.control;
  EXPECT_EQ(setup.ComboItems(IDC_UI_LANGUAGE), (std::vector<std::wstring>{text(kTextUiLanguage0), text(kTextUiLanguage1)}));
  EXPECT_EQ(setup.ComboSelection(IDC_UI_LANGUAGE), 1);

  ASSERT_TRUE(setup.Click(IDC_CANCEL));
  HWND box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(gui::Driver::BoxText(box), text(kTextCloseQuestion));
  EXPECT_EQ(gui::Driver::BoxCaption(box), text(kTextMessageCaption));
  ASSERT_TRUE(gui::Driver::Answer(box, IDYES));
  EXPECT_EQ(setup.WaitForEnd(), 1602) << "cancelled";
}

// Keys only (Windows 10 prefix, after the above): Enter goes on where the template's default is
// hidden, Alt and a letter reach what they name, lists and the licence are named by their labels.
TEST(KeyboardInstallation, FromTheFirstPageToTheFinishPage) {
  Texts text;
  gui::Driver setup;
  ASSERT_TRUE(text.ok() && InstalledId() == 0 && setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass), kRestartLog) &&
              setup.WaitForPage(IDC_WELCOME_TITLE));
  EXPECT_EQ(setup.Label(IDC_UI_LANGUAGE), text(kTextUiLanguageLabel));
  ASSERT_TRUE(setup.Key('L', true) && setup.Key(VK_RETURN) && setup.WaitForPage(IDC_EULA_ACCEPTED));
  EXPECT_EQ(setup.Label(IDC_EULA_TEXT), text(kTextLicenceTitle));
  ASSERT_TRUE(setup.Key('A', true) && setup.Key(VK_RETURN) && setup.WaitForPage(IDC_INSTALL));
  EXPECT_EQ(setup.Label(IDC_LAYOUT_LANGUAGE), text.Formatted(kTextSetupLanguageLabelFormat, kTextLayoutName));
  EXPECT_EQ(setup.Label(IDC_VARIANT), text(kTextVariantLabel));
  EXPECT_EQ(setup.Label(IDC_DECIMAL_KEY), text(kTextDecimalKeyLabel));
  ASSERT_TRUE(setup.Key('K', true) && setup.WaitForPage(IDC_EXPERT1_CHECK_FIRST));
  for (int row = 0; row < 14; ++row)
    EXPECT_EQ(setup.Label(IDC_EXPERT1_COMBO_FIRST + row), setup.Text(IDC_EXPERT1_CHECK_FIRST + row)) << row;
  // Alt+P ticks Caps Lock's row ("Ca&ps Lock"), whose list shows the key names without their keys.
  const int caps = 11;
  ASSERT_TRUE(setup.Key('P', true) && setup.Checked(IDC_EXPERT1_CHECK_FIRST + caps));
  for (const std::wstring& item : setup.ComboItems(IDC_EXPERT1_COMBO_FIRST + caps))
    EXPECT_EQ(item.find(L'&'), std::wstring::npos) << item;
  ASSERT_TRUE(setup.Key(VK_SPACE) && setup.Key('B', true) && setup.WaitForPage(IDC_INSTALL));
  ASSERT_TRUE(setup.Key(VK_RETURN) && setup.WaitForPage(IDC_DONE_BODY) && setup.Key(VK_RETURN));
  EXPECT_EQ(setup.WaitForEnd(), 1641) << "done, the restart started";
  EXPECT_TRUE(RestartRequested(setup)) << setup.DebugLog();
  e2e::ExpectFirstInstallation(e2e::Capture(), L"setup.exe");
}

// After the restart: Escape closes the open list and nothing else; the arrows make the page
// Polish and, after Alt+J, English again (the completion mark takes the language of the end).
TEST(KeyboardRemoval, FromTheInstalledWelcomePage) {
  Texts text;
  gui::Driver setup;
  ASSERT_TRUE(text.ok() && InstalledId() == 190 && setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_REMOVE) && setup.Key('L', true) && setup.Key(VK_F4));
  ASSERT_TRUE(setup.ListOpen(IDC_UI_LANGUAGE) && setup.Key(VK_ESCAPE) && !setup.ListOpen(IDC_UI_LANGUAGE));
  ASSERT_TRUE(setup.Key(VK_ESCAPE) && setup.Key(VK_DOWN) && !setup.WaitForMessageBox(0));
  text.Language(1);
  EXPECT_EQ(setup.Text(IDC_REMOVE), text(kTextRemoveButton));
  ASSERT_TRUE(setup.Key('J', true) && setup.Key(VK_UP) && setup.Key('R', true) && setup.WaitForMessageBox());
  ASSERT_TRUE(setup.Key(VK_RETURN) && setup.WaitForPage(IDC_DONE_BODY) && setup.Key(VK_RETURN));  // Yes; restart
  EXPECT_EQ(setup.WaitForEnd(), 1641) << "done, the restart started";
}
