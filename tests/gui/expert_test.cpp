// Key reassignment through the wizard's expert page, from the clicks to the installed layout
// library and the record. Steps in an e2e prefix (tests/e2e/CMakeLists.txt), after its other
// scenarios:
//   ExpertInstallStep   the first installation with keys moved on expert page 1
//   (wineboot -r)
//   ExpertInstalledStep the library and the record hold exactly those keys; change settings shows
//                       them on expert page 1, and a change there is installed
//   (wineboot -r)
//   ExpertChangedStep   the library holds the change; the removal through the wizard
// followed by the e2e residue check.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/e2e/state_checks.h"
#include "tests/gui/gui_driver.h"
#include "tests/gui/installed_record.h"
#include "ui/resource_ids.h"

namespace {

// Rows of expert page 1 (check box 1300 + row, its list 100 above) and list positions (choice k
// of the page's choice table is item k - 1: the no-change choice is never listed).
constexpr int kShiftRow = 1;
constexpr int kMenuRow = 9;
constexpr int kTabRow = 11;
constexpr int kCapsRow = 12;
constexpr int kScrollRow = 13;
constexpr int kSwitchedOff = 0;  // text 326, value 255
constexpr int kRightCtrl = 5;
constexpr int kLeftCtrl = 4;
constexpr int kRightAlt = 7;
constexpr int kCapsLock = 15;
constexpr int kChoiceCount = 26;

int Check(int row) { return IDC_EXPERT1_CHECK_FIRST + row - 1; }
int List(int row) { return IDC_EXPERT1_COMBO_FIRST + row - 1; }

std::wstring Text(uint32_t id) {
  CInstall install;
  GString text;
  if (install.Init(GetModuleHandleW(nullptr))) install.GetText(id, text);
  return text.WideAt(0);
}

// The record as the next start reads it.
struct Record {
  uint32_t installedId = 0;
  uint16_t keys[5] = {};  // virtualKey of 0x2A, 0x0F, 0x3A, 0x46, 0xE05D
};

Record ReadRecord() {
  Record record;
  gui::ReadInstalledRecord([&record](CInstall& install) {
    record.installedId = install.m_installedId;
    const uint32_t codes[] = {0x2A, 0x0F, 0x3A, 0x46, 0xE05D};
    for (int i = 0; i < 5; ++i)
      if (const KeyEntry* entry = install.FindKey(codes[i])) record.keys[i] = entry->virtualKey;
  });
  return record;
}

// Polls until the control shows what a posted click or choice led to.
template <class Condition>
bool Soon(Condition condition) {
  for (int i = 0; i < 100; ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

bool Tick(gui::Driver& setup, int row, bool ticked) {
  return setup.Click(Check(row)) && Soon([&] { return setup.Checked(Check(row)) == ticked; }) &&
         Soon([&] { return setup.Enabled(List(row)) == ticked; });
}

bool Choose(gui::Driver& setup, int row, int index) {
  return setup.OpenList(List(row), true) && setup.OpenList(List(row), false) && setup.Select(List(row), index) &&
         Soon([&] { return setup.ComboSelection(List(row)) == index; });
}

void StartAtSetupPage(gui::Driver& setup) {
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, Text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_WELCOME_TITLE));
  if (setup.Visible(IDC_CHANGE_SETTINGS)) {
    ASSERT_TRUE(setup.Click(IDC_CHANGE_SETTINGS));
  } else {
    ASSERT_TRUE(setup.Click(IDC_NEXT));
    ASSERT_TRUE(setup.WaitForPage(IDC_EULA_ACCEPTED));
    ASSERT_TRUE(setup.Click(IDC_EULA_ACCEPTED));
    ASSERT_TRUE(Soon([&] { return setup.Enabled(IDC_NEXT); }));
    ASSERT_TRUE(setup.Click(IDC_NEXT));
  }
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
}

void InstallAndClose(gui::Driver& setup) {
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
  ASSERT_TRUE(setup.Click(IDC_INSTALL));
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  ASSERT_TRUE(setup.Close());
  EXPECT_EQ(setup.WaitForEnd(), 3010) << "done, the restart left to later";
}

TEST(ExpertInstallStep, KeysMovedOnExpertPage1) {
  ASSERT_EQ(ReadRecord().installedId, 0u) << "needs a prefix without the layout";
  gui::Driver setup;
  StartAtSetupPage(setup);
  // The demo image of variant 0 with the decimal key as it is: the comparison then sees only keys.
  ASSERT_TRUE(setup.Select(IDC_VARIANT, 0));
  ASSERT_TRUE(setup.Select(IDC_DECIMAL_KEY, 1));
  ASSERT_TRUE(setup.Click(IDC_SHOW_EXPERT1));
  ASSERT_TRUE(setup.WaitForPage(Check(1)));

  // Fourteen rows named by their keys, all unticked; the rest and page 2's button hidden.
  CInstall install;
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  GString caption;
  install.GetText(FindDefaultKey(0x3A)->captionText, caption);
  EXPECT_EQ(setup.Text(Check(kCapsRow)), caption.WideAt(0));
  for (int row = 1; row <= 20; ++row) {
    EXPECT_EQ(setup.Visible(Check(row)), row <= 14) << row;
    EXPECT_EQ(setup.Visible(List(row)), row <= 14) << row;
    EXPECT_FALSE(setup.Checked(Check(row)) || setup.Enabled(List(row))) << row;
  }
  EXPECT_FALSE(setup.Visible(IDC_SHOW_EXPERT2));

  // A ticked row offers every choice but "no change" and starts at the key's own assignment.
  ASSERT_TRUE(Tick(setup, kCapsRow, true));
  EXPECT_EQ(setup.ComboItems(List(kCapsRow)).size(), static_cast<size_t>(kChoiceCount));
  EXPECT_EQ(setup.ComboSelection(List(kCapsRow)), kCapsLock);
  ASSERT_TRUE(Choose(setup, kCapsRow, kLeftCtrl));
  // A choice survives unticking and ticking the row again.
  ASSERT_TRUE(Tick(setup, kMenuRow, true));
  ASSERT_TRUE(Choose(setup, kMenuRow, kRightAlt));
  ASSERT_TRUE(Tick(setup, kMenuRow, false));
  ASSERT_TRUE(Tick(setup, kMenuRow, true));
  EXPECT_EQ(setup.ComboSelection(List(kMenuRow)), kRightAlt);
  // Tab left at its own assignment stores nothing; Scroll Lock switched off stores 255; Left
  // Shift chosen and unticked again stays as it is.
  ASSERT_TRUE(Tick(setup, kTabRow, true));
  ASSERT_TRUE(Tick(setup, kScrollRow, true));
  ASSERT_TRUE(Choose(setup, kScrollRow, kSwitchedOff));
  ASSERT_TRUE(Tick(setup, kShiftRow, true));
  ASSERT_TRUE(Choose(setup, kShiftRow, kRightCtrl));
  ASSERT_TRUE(Tick(setup, kShiftRow, false));

  // Back on the setup page and on expert page 1 again: the same choices, each row's list holding
  // only its choice until opened; an opened list has every choice and the current one selected.
  ASSERT_TRUE(setup.Click(IDC_EXPERT_OK));
  ASSERT_TRUE(setup.WaitForPage(IDC_INSTALL));
  ASSERT_TRUE(setup.Click(IDC_SHOW_EXPERT1));
  ASSERT_TRUE(setup.WaitForPage(Check(1)));
  for (int row : {kCapsRow, kMenuRow, kScrollRow}) {
    EXPECT_TRUE(setup.Checked(Check(row)) && setup.Enabled(List(row))) << row;
    EXPECT_EQ(setup.ComboItems(List(row)).size(), 1u) << row;
  }
  for (int row : {kShiftRow, kTabRow}) EXPECT_FALSE(setup.Checked(Check(row))) << row;
  ASSERT_TRUE(setup.OpenList(List(kCapsRow), true));
  EXPECT_EQ(setup.ComboItems(List(kCapsRow)).size(), static_cast<size_t>(kChoiceCount));
  EXPECT_EQ(setup.ComboSelection(List(kCapsRow)), kLeftCtrl);
  ASSERT_TRUE(setup.OpenList(List(kCapsRow), false));
  // A row whose list was never opened keeps its choice through an untick and a tick.
  ASSERT_TRUE(Tick(setup, kMenuRow, false));
  ASSERT_TRUE(Tick(setup, kMenuRow, true));
  EXPECT_EQ(setup.ComboSelection(List(kMenuRow)), kRightAlt);
  EXPECT_EQ(setup.ComboItems(List(kMenuRow)).size(), static_cast<size_t>(kChoiceCount));

  ASSERT_TRUE(setup.Click(IDC_EXPERT_OK));
  InstallAndClose(setup);
  const Record record = ReadRecord();
  EXPECT_EQ(record.installedId, 190u);
  const uint16_t expected[5] = {0, 0, 0xA2, 0xFF, 0x1A5};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(record.keys[i], expected[i]) << i;
}

TEST(ExpertInstalledStep, TheLibraryHoldsTheKeysAndAChangeIsInstalled) {
  e2e::ExpectInstalledLibrary(0, 0, L" --vk 3A=00A2 --vk 46=00FF --e0 5D=01A5");

  // Change settings: expert page 1 shows the recorded keys; Caps Lock becomes a right Ctrl,
  // Scroll Lock is itself again.
  gui::Driver setup;
  StartAtSetupPage(setup);
  ASSERT_TRUE(setup.Click(IDC_SHOW_EXPERT1));
  ASSERT_TRUE(setup.WaitForPage(Check(1)));
  for (int row : {kCapsRow, kMenuRow, kScrollRow}) EXPECT_TRUE(setup.Checked(Check(row))) << row;
  EXPECT_EQ(setup.ComboSelection(List(kMenuRow)), 0);
  ASSERT_TRUE(Choose(setup, kCapsRow, kRightCtrl));
  ASSERT_TRUE(Tick(setup, kScrollRow, false));
  ASSERT_TRUE(setup.Click(IDC_EXPERT_OK));
  InstallAndClose(setup);
  const Record record = ReadRecord();
  const uint16_t expected[5] = {0, 0, 0x1A3, 0, 0x1A5};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(record.keys[i], expected[i]) << i;
}

TEST(ExpertChangedStep, TheLibraryHoldsTheChangeThenTheRemoval) {
  e2e::ExpectInstalledLibrary(0, 0, L" --vk 3A=01A3 --e0 5D=01A5");

  gui::Driver setup;
  ASSERT_TRUE(setup.Start(SETUP_GUI_PROGRAM, Text(kTextWindowClass)));
  ASSERT_TRUE(setup.WaitForPage(IDC_REMOVE));
  ASSERT_TRUE(setup.Click(IDC_REMOVE));
  HWND box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  ASSERT_TRUE(gui::Driver::Answer(box, IDYES));
  ASSERT_TRUE(setup.WaitForPage(IDC_DONE_BODY));
  ASSERT_TRUE(setup.Close());
  EXPECT_EQ(setup.WaitForEnd(), 3010) << "done, the restart left to later";
  EXPECT_EQ(ReadRecord().installedId, 0u);
}

}  // namespace
