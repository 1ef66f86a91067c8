#include "ui/page_eula.h"

#include "app/install.h"
#include "app/text_ids.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

// The licence files have bare line feeds; a multi-line edit control breaks lines only at CR LF.
int WithCrLf(const GString& text, GString& out) {
  const WChar* p = text.WideAt(0);
  const int length = text.Length();
  out.AssignWide(U16(""), 0);
  if (!out.AsWide(0) || !out.Reserve(length * 2 + 1)) return 0;
  int from = 0;
  for (int i = 0; i < length; ++i) {
    if (p[i] != '\n' || (i > 0 && p[i - 1] == '\r')) continue;
    if (!out.AppendWide(p + from, i - from) || !out.AppendWide(U16("\r\n"), 2)) return 0;
    from = i + 1;
  }
  return out.AppendWide(p + from, length - from);
}

}  // namespace

int CDlgEula::OnInitDialog() {
  if (!m_wizard || !m_wizard->m_install) return 0;
  CInstall* install = m_wizard->m_install;
  SetWizardStep(kStepEula);
  FitToPage();
  const int accepted = install->m_eulaAccepted;
  CheckItem(IDC_EULA_ACCEPTED, accepted);
  EnableItem(IDC_NEXT, accepted);
  SetItemTexts(kEulaTexts);

  // A licence that cannot be decoded leaves the box empty; next still follows the check box.
  GString licence, shown;
  const uint32_t language = m_wizard->GetUiLanguage() & 1;
  if (install->GetTextBlob(install->Package().licence[language], licence) && licence.AsWide(0) &&
      WithCrLf(licence, shown))
    SetDlgItemTextW(m_hWnd, IDC_EULA_TEXT, shown.WideAt(0));

  SetFocus(GetDlgItem(m_hWnd, IDC_EULA_ACCEPTED));
  SetForegroundWindow(m_hWnd);
  return 1;
}

int CDlgEula::OnCommand() {
  if (m_notifyCode == BN_CLICKED) {
    switch (m_controlId) {
      case IDC_NEXT:
        PostToMain(UM_NEXT);
        return 1;
      case IDC_CANCEL:
        PostToMain(UM_CANCEL);
        return 1;
      case IDC_BACK:
        PostToMain(UM_BACK);
        return 1;
      case IDC_EULA_ACCEPTED: {
        const int accepted = IsItemChecked(IDC_EULA_ACCEPTED);
        EnableItem(IDC_NEXT, accepted);
        if (m_wizard && m_wizard->m_install) m_wizard->m_install->m_eulaAccepted = accepted;
        return 1;
      }
      default:
        return 0;
    }
  }
  if (m_notifyCode == EN_SETFOCUS) {
    // The dialog manager selects an edit's whole text when it gets the focus: never show the
    // licence highlighted.
    if (m_controlId == IDC_EULA_TEXT) SendMessageW(m_controlWnd, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    return 1;
  }
  return 0;
}
