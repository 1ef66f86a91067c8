// The expert pages' rules that no person can reach through the wizard: page 2 (its button and
// rows are hidden) and a recorded key that none of page 1's choices names. The pages are made from
// the program's own templates on a plain parent window, driven by the commands their controls send.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/install.h"
#include "ui/page_expert.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

class ExpertPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_install.Init(GetModuleHandleW(nullptr)));
    m_parent = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPED, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_parent, nullptr) << "no window without a display";
  }
  void TearDown() override {
    if (m_parent) DestroyWindow(m_parent);  // and the page with it
  }
  template <class Page>
  bool Open(Page& page, int templateId) {
    page.m_wizard = m_install.m_wizard;
    return page.CreatePage(templateId, m_parent) == 1;
  }
  static void Command(CWndBase& page, int id, int code) {
    SendMessageW(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(page.m_hWnd, id)));
  }
  static LRESULT Count(CWndBase& page, int id) { return SendDlgItemMessageW(page.m_hWnd, id, CB_GETCOUNT, 0, 0); }
  static LRESULT Selection(CWndBase& page, int id) {
    return SendDlgItemMessageW(page.m_hWnd, id, CB_GETCURSEL, 0, 0);
  }

  CInstall m_install;
  HWND m_parent = nullptr;
};

TEST_F(ExpertPageTest, Page2SetsTheScanCodeSentInsteadOfAKey) {
  m_install.FindKey(0x3A)->hardwareCode = 0x1D;  // Caps Lock sends Left Ctrl (row 1)
  CDlgExpert2 page;
  ASSERT_TRUE(Open(page, IDD_EXPERT2));
  for (int id = IDC_EXPERT2_CHECK_FIRST; id < IDC_EXPERT2_CHECK_FIRST + 20; ++id) {
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page.m_hWnd, id))) << id;
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page.m_hWnd, id + 100))) << id;
  }
  // A row ticked at initialisation has the whole list at once (no "no change"), its value chosen.
  EXPECT_TRUE(page.IsItemChecked(1501));
  EXPECT_EQ(Count(page, 1601), 23);
  EXPECT_EQ(page.GetComboSelData(1601), 0x1D);

  // A newly ticked row starts at the key sending itself; a choice is stored at once, cut to the
  // table's 16 bits.
  SendDlgItemMessageW(page.m_hWnd, 1502, BM_SETCHECK, BST_CHECKED, 0);
  Command(page, 1502, BN_CLICKED);
  EXPECT_EQ(page.GetComboSelData(1602), 0x1D);
  SendDlgItemMessageW(page.m_hWnd, 1602, CB_SETCURSEL, 0, 0);  // switched off
  Command(page, 1602, CBN_SELCHANGE);
  EXPECT_EQ(m_install.FindKey(0x1D)->hardwareCode, 0xFF);

  // Untick and tick again: the choice comes back. Leaving by page 1's button writes every row
  // back; a key sending itself reads as no change.
  SendDlgItemMessageW(page.m_hWnd, 1502, BM_SETCHECK, BST_UNCHECKED, 0);
  Command(page, 1502, BN_CLICKED);
  SendDlgItemMessageW(page.m_hWnd, 1502, BM_SETCHECK, BST_CHECKED, 0);
  Command(page, 1502, BN_CLICKED);
  EXPECT_EQ(Selection(page, 1602), 0);
  SendDlgItemMessageW(page.m_hWnd, 1603, BM_SETCHECK, BST_CHECKED, 0);  // 0xE068, left as itself
  Command(page, 1503, BN_CLICKED);
  Command(page, IDC_SHOW_EXPERT1, BN_CLICKED);
  EXPECT_EQ(m_install.FindKey(0x3A)->hardwareCode, 0x1D);
  EXPECT_EQ(m_install.FindKey(0x1D)->hardwareCode, 0xFF);
  EXPECT_EQ(m_install.FindKey(0xE068)->hardwareCode, 0);
}

TEST_F(ExpertPageTest, Page1KeepsARecordedKeyThatNoChoiceNames) {
  m_install.FindKey(0x2A)->virtualKey = 0x41;  // Left Shift types A: none of the page's choices
  m_install.FindKey(0x3A)->virtualKey = 0xA2;
  CDlgExpert1 page;
  ASSERT_TRUE(Open(page, IDD_EXPERT1));
  EXPECT_TRUE(page.IsItemChecked(1301));
  EXPECT_EQ(Selection(page, 1401), CB_ERR);
  EXPECT_EQ(Count(page, 1412), 1);  // the full list comes with the first opening
  Command(page, 1412, CBN_DROPDOWN);
  EXPECT_EQ(Count(page, 1412), 26);
  EXPECT_EQ(page.GetComboSelData(1412), 0xA2);
  Command(page, IDC_EXPERT_OK, BN_CLICKED);
  EXPECT_EQ(m_install.FindKey(0x2A)->virtualKey, 0x41);
  EXPECT_EQ(m_install.FindKey(0x3A)->virtualKey, 0xA2);
}

}  // namespace
