// CWndBase: binds one object to one window (a plain window or a modeless dialog page), turns its
// messages into virtual On... calls that answer handled (non-zero) or not, and offers the control
// operations the pages use. An object lives exactly as long as its window: at WM_NCDESTROY it
// unbinds and asks the controller to delete it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "strings/gstring.h"
#include "ui/control_tables.h"

class CWizard;

// Messages the pages post to the frame window (wParam and lParam 0).
constexpr UINT UM_CANCEL = WM_USER + 1;  // 1025
constexpr UINT UM_BACK = WM_USER + 2;
constexpr UINT UM_NEXT = WM_USER + 3;
constexpr UINT UM_SHOW_SETUP = WM_USER + 4;
constexpr UINT UM_SHOW_EXPERT1 = WM_USER + 5;
constexpr UINT UM_SHOW_EXPERT2 = WM_USER + 6;
constexpr UINT UM_SHOW_DONE = WM_USER + 7;
constexpr UINT UM_FINISH_RESTART = WM_USER + 8;  // 1032

// Wizard steps, kept in the installer.
constexpr int kStepWelcome = 1;
constexpr int kStepEula = 2;
constexpr int kStepSetup = 3;
constexpr int kStepExpert = 4;
constexpr int kStepFinished = 6;  // the frame then closes without asking

class CWndBase {
 public:
  CWndBase() = default;
  virtual ~CWndBase();
  CWndBase(const CWndBase&) = delete;
  CWndBase& operator=(const CWndBase&) = delete;

  virtual int OnMessage();
  virtual int OnCommand();
  virtual int OnNcDestroy();
  virtual int OnCreate();
  virtual int OnPaint();
  virtual int OnDestroy();
  virtual int OnClose();
  virtual int OnInitDialog();
  virtual int RequestClose();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // Windows and binding. Results 1 or 0.
  int RegisterWindowClass();
  int CreateMainWindow(uint32_t titleText, DWORD style, int width, int height);
  int CreatePage(int templateId, HWND parent);
  int AttachWindow(HWND hwnd);
  void DetachWindow();
  int DestroyOwnWindow();
  int FitToPage();

  // Texts, wizard step and messages through the controller.
  int LoadText(uint32_t textId);
  int LoadTextInto(uint32_t textId, GString& out);
  // A text as a list shows it: without the access key it carries where it is also a caption.
  int LoadItemTextInto(uint32_t textId, GString& out);
  int GetWizardStep();
  void SetWizardStep(int step);
  int MessageBoxText(const WChar* text, UINT type);
  int MessageBoxId(uint32_t textId, UINT type);
  int PostToMain(UINT msg);

  // Controls of this window, by identifier. A control the window lacks gives 0.
  int EnableItem(int controlId, int enable);
  int EnableItems(const uint32_t* controlIds, int enable);
  int ShowItem(int controlId, int show);
  int ShowItems(const uint32_t* controlIds, int show);
  int SetItemText(int controlId, uint32_t textId);
  int SetItemString(int controlId, const WChar* text);
  int SetItemTexts(const ControlText* table);
  int IsItemChecked(int controlId);
  int CheckItem(int controlId, int check);
  LRESULT SelectComboIndex(HWND combo, int index);
  LRESULT GetComboSelData(int controlId);
  int FillCombo(HWND combo, const ComboItem* table, uint32_t selectValue);
  int FillComboItem(int controlId, const ComboItem* table, uint32_t selectValue);
  static uint32_t LookupRowKey(int controlId, const KeyRow* table) {
    return ::LookupRowKey(static_cast<uint32_t>(controlId), table);
  }

  HWND m_hWnd = nullptr;
  int32_t m_isDialog = 0;
  ATOM m_classAtom = 0;
  CWizard* m_wizard = nullptr;  // not owned
  GString m_text;
  LRESULT m_result = 0;
  uint16_t m_notifyCode = 0;
  uint16_t m_controlId = 0;
  HWND m_controlWnd = nullptr;
  uint32_t m_notifyHdrCode = 0;
  NMHDR* m_notifyHdr = nullptr;
  UINT m_msg = 0;
  WPARAM m_wParam = 0;
  LPARAM m_lParam = 0;
  int32_t m_textHeight = 0;  // one line of the banner font, in pixels; 0 until measured

 protected:
  // Height of one line of the banner font (the Latin capital O with acute), measured on the main
  // window; 0 when it cannot be measured.
  int MeasureBannerLine();

 private:
  // One per dispatch on the stack: the destructor marks every frame of the object, so that a
  // dispatch whose handler deleted the object (a DestroyWindow inside it) returns without
  // touching it.
  struct DispatchFrame {
    bool deleted;
    DispatchFrame* outer;
  };
  void ResetMessageFields();
  // Enter clicks the page's default button: one that the page hides or disables hands that part
  // to the next push button after it that a person can press (the welcome page's next button,
  // where the open button is hidden); a page without one keeps it (Enter then does nothing).
  void ChooseDefaultButton();
  DispatchFrame* m_frame = nullptr;
};
