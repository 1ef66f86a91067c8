// The real setup.exe driven through its wizard under Wine on Xvfb (tests/gui/gui_driver.h), in a
// prefix of its own that reports Windows 7. The expected texts come from the same package,
// through an installer object of this process.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/gui/gui_driver.h"
#include "ui/resource_ids.h"

namespace {

class Texts {
 public:
  Texts() { m_ok = m_install.Init(GetModuleHandleW(nullptr)); }
  bool ok() const { return m_ok; }
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

// What a real Windows has and a new prefix lacks: the layout entries (ours is registered beside
// them), in the view the system reads.
void AddLayoutEntries() {
  const wchar_t* entries[][2] = {{L"00000409", L"KBDUS.DLL"}, {L"00000415", L"KBDPL1.DLL"}, {L"00000419", L"KBDRU.DLL"}};
  for (const auto& entry : entries) {
    const std::wstring path = std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\") + entry[0];
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Layout File", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry[1]),
                   static_cast<DWORD>((wcslen(entry[1]) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

uint32_t InstalledId() {
  CoInitializeEx(nullptr, 0);
  uint32_t id = 0;
  {
    CInstall install;
    if (install.Init(GetModuleHandleW(nullptr)) && install.StartUpChecks() == CInstall::StartUp::kOpenWizard)
      id = install.m_installedId;
  }
  CoUninitialize();
  return id;
}

TEST(FirstInstallation, WelcomeLicenceSetupFinish) {
  Texts text;
  ASSERT_TRUE(text.ok());
  AddLayoutEntries();
  ASSERT_EQ(InstalledId(), 0u);

  gui::Driver setup;
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_WELCOME_TITLE));

  // Welcome, not installed: cancel, the language list and next; the installed set hidden.
  EXPECT_EQ(setup.Text(IDC_WELCOME_TITLE), text.Formatted(kTextWelcomeTitleFormat, kTextLayoutName));
  EXPECT_EQ(setup.Text(IDC_WELCOME_BODY), text(kTextWelcomeBody));
  EXPECT_EQ(setup.Text(IDC_NEXT), text(kTextNext));
  EXPECT_TRUE(setup.Visible(IDC_NEXT) && setup.Enabled(IDC_NEXT));
  for (int id : {IDC_REMOVE, IDC_CHANGE_SETTINGS, IDC_OPEN_DOCUMENT}) EXPECT_FALSE(setup.Visible(id)) << id;
  EXPECT_EQ(setup.ComboItems(IDC_UI_LANGUAGE), (std::vector<std::wstring>{text(kTextUiLanguage0), text(kTextUiLanguage1)}));
  EXPECT_EQ(setup.ComboSelection(IDC_UI_LANGUAGE), 0);

  // Cancel asks; No keeps the wizard.
  ASSERT_TRUE(setup.Click(IDC_CANCEL));
  HWND box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(gui::Driver::BoxText(box), text(kTextCloseQuestion));
  EXPECT_EQ(gui::Driver::BoxCaption(box), text(kTextMessageCaption));
  ASSERT_TRUE(gui::Driver::Answer(box, IDNO));
  ASSERT_TRUE(setup.WaitForPage(IDC_NEXT));
  ASSERT_TRUE(setup.Click(IDC_NEXT));

  // Licence: next only while the box is ticked.
  ASSERT_TRUE(setup.WaitForPage(IDC_EULA_ACCEPTED));
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

  // Setup with its defaults on Windows 7: every box shown, expert page 2 never.
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
  for (int id : {IDC_LAYOUT_LANGUAGE, IDC_LANGUAGE_SCRIPT, IDC_USER_HOTKEYS, IDC_DESKTOP_LINKS, IDC_ALT_IMAGE})
    EXPECT_TRUE(setup.Visible(id)) << id;
  EXPECT_FALSE(setup.Visible(IDC_SHOW_EXPERT2));
  EXPECT_EQ(setup.ComboItems(IDC_VARIANT).size(), 3u);
  EXPECT_NE(setup.ComboSelection(IDC_VARIANT), -1);
  ASSERT_TRUE(setup.Click(IDC_INSTALL));

  // Finish after the install; the close box ends the wizard without a question.
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  EXPECT_EQ(setup.Text(IDC_DONE_TITLE), text(kTextWelcomeBodyInstalled));
  EXPECT_EQ(setup.Text(IDC_DONE_BODY).rfind(text(kTextFinishBody), 0), 0u);
  ASSERT_TRUE(setup.Close());
  EXPECT_EQ(setup.WaitForEnd(), 0);

  EXPECT_EQ(InstalledId(), 190u);
}

}  // namespace
