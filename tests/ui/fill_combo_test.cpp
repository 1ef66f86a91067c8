// The combo box operations of CWndBase on real combo boxes (under Wine on Xvfb), with the texts
// of the demo package.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/install.h"
#include "ui/wizard.h"
#include "ui/wnd_base.h"

namespace {

constexpr int kComboId = 1214;

class FillComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_install.Init(GetModuleHandleW(nullptr)));
    m_page.m_wizard = m_install.m_wizard;
    m_parent = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPED, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_parent, nullptr) << "no window without a display";
    m_combo = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 100, 100, m_parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), nullptr, nullptr);
    ASSERT_NE(m_combo, nullptr);
    m_page.m_hWnd = m_parent;  // the control operations look controls up by identifier in it
  }
  void TearDown() override {
    m_page.m_hWnd = nullptr;
    if (m_parent) DestroyWindow(m_parent);
  }
  LRESULT Selection() { return SendMessageW(m_combo, CB_GETCURSEL, 0, 0); }

  CInstall m_install;
  CWndBase m_page;
  HWND m_parent = nullptr;
  HWND m_combo = nullptr;
};

TEST_F(FillComboTest, TheLastMatchingEntryIsSelected) {
  // Sorted: "English" (92) comes before "Polski" (91) whatever the table order.
  const ComboItem items[] = {{91, 5}, {92, 5}, {0, 0}};
  ASSERT_EQ(m_page.FillComboItem(kComboId, items, 5), 1);
  ASSERT_EQ(SendMessageW(m_combo, CB_GETCOUNT, 0, 0), 2);
  const LRESULT selected = Selection();
  ASSERT_NE(selected, CB_ERR);
  wchar_t text[32] = {};
  SendMessageW(m_combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"English");
  EXPECT_EQ(m_page.GetComboSelData(kComboId), 5);
}

TEST_F(FillComboTest, NoMatchLeavesNoSelectionAndDataZero) {
  const ComboItem items[] = {{113, 7}, {114, 8}, {0, 0}};
  ASSERT_EQ(m_page.FillCombo(m_combo, items, static_cast<uint32_t>(-1)), 1);
  EXPECT_EQ(Selection(), CB_ERR);
  EXPECT_EQ(m_page.GetComboSelData(kComboId), 0);  // not CB_ERR
  // A refill empties the box first.
  ASSERT_EQ(m_page.FillCombo(m_combo, items, 8), 1);
  EXPECT_EQ(SendMessageW(m_combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(m_page.GetComboSelData(kComboId), 8);
  // Missing controls and tables.
  EXPECT_EQ(m_page.FillComboItem(4321, items, 8), 0);
  EXPECT_EQ(m_page.FillCombo(m_combo, nullptr, 8), 0);
  EXPECT_EQ(m_page.GetComboSelData(4321), 0);
}

}  // namespace
