#include "ui/wnd_main.h"

#include "app/install.h"
#include "app/text_ids.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

constexpr int kBannerMargin = 10;     // icon and text distance from the client's top left
constexpr int kBannerTextLeft = 60;   // right of the 32-pixel icon
constexpr COLORREF kBannerColour = RGB(128, 128, 128);

}  // namespace

int CWndMain::OnMessage() {
  if (CWndBase::OnMessage()) return 1;
  switch (m_msg) {
    case UM_CANCEL:
      RequestClose();
      return 1;
    case UM_BACK:
      return OnBack();
    case UM_NEXT:
      return OnNext();
    case UM_SHOW_SETUP:
      return OnShowSetup();
    case UM_SHOW_EXPERT1:
      return OnShowExpert1();
    case UM_SHOW_EXPERT2:
      return OnShowExpert2();
    case UM_SHOW_DONE:
      return OnShowDone();
    case UM_FINISH_RESTART:
      return OnFinishRestart();
    default:
      return 0;
  }
}

int CWndMain::OnCreate() {
  if (!m_wizard) return 0;
  m_wizard->ShowWelcome();
  return 1;
}

int CWndMain::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  if (dc) PaintBanner(dc);
  EndPaint(m_hWnd, &paint);
  return 1;
}

int CWndMain::OnDestroy() {
  PostQuitMessage(0);
  return 1;
}

int CWndMain::OnClose() {
  if (!m_wizard) return 0;  // the default processing destroys the window
  if (GetWizardStep() == kStepFinished) {
    DestroyWindow(m_hWnd);  // deletes this object
    return 1;
  }
  if (MessageBoxId(kTextCloseQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES) DestroyWindow(m_hWnd);
  return 1;
}

int CWndMain::OnFinishRestart() {
  if (m_wizard && m_wizard->m_install) {
    m_wizard->m_install->m_restartRequested = 1;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
  }
  return 1;
}

int CWndMain::OnShowDone() {
  if (m_wizard) m_wizard->ShowDone();
  return 1;
}

int CWndMain::OnBack() {
  if (!m_wizard) return 1;
  const int step = GetWizardStep();
  if (step == kStepEula) {
    m_wizard->ShowWelcome();
  } else if (step == kStepSetup) {
    m_wizard->ShowEula();
  }
  return 1;
}

int CWndMain::OnNext() {
  if (!m_wizard) return 1;
  const int step = GetWizardStep();
  if (step == kStepWelcome) {
    m_wizard->ShowEula();
  } else if (step == kStepEula) {
    m_wizard->ShowSetup();
  }
  return 1;
}

int CWndMain::OnShowSetup() {
  if (m_wizard) m_wizard->ShowSetup();
  return 1;
}

int CWndMain::OnShowExpert1() {
  if (m_wizard) m_wizard->ShowExpert1();
  return 1;
}

int CWndMain::OnShowExpert2() {
  if (m_wizard) m_wizard->ShowExpert2();
  return 1;
}

void CWndMain::PaintBanner(HDC dc) {
  if (!m_wizard) return;
  RECT client = {};
  GetClientRect(m_hWnd, &client);
  DrawIcon(dc, kBannerMargin, kBannerMargin, LoadIconW(m_wizard->m_hInstance, MAKEINTRESOURCEW(IDI_BANNER)));
  if (m_textHeight == 0) m_textHeight = MeasureBannerLine();
  RECT text = {kBannerTextLeft, kBannerMargin, client.right, kBannerMargin + m_textHeight};

  const COLORREF oldColour = SetTextColor(dc, kBannerColour);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, m_wizard->m_bannerFont);

  // "<product> <version> <tail>", in the interface language of the moment.
  GString banner, part;
  LoadTextInto(kTextBannerHead, banner);
  banner.AppendWide(U16(" "), 1);
  LoadTextInto(kTextSettingsSubKey, part);
  banner.Append(part);
  banner.AppendWide(U16(" "), 1);
  LoadTextInto(kTextBannerTail, part);
  banner.Append(part);
  DrawTextW(dc, banner.WideAt(0), banner.Length(), &text, DT_SINGLELINE);

  SelectObject(dc, oldFont);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColour);
}
