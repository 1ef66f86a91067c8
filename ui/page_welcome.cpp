#include "ui/page_welcome.h"

#include "app/install.h"
#include "app/text_ids.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

constexpr uint32_t kInstalledByThisInstaller = 190;  // m_installedId of our own record

const ComboItem kUiLanguages[] = {
    {kTextUiLanguage0, 0},
    {kTextUiLanguage1, 1},
    {0, 0},
};

}  // namespace

int CDlgWelcome::IsInstalled() { return m_wizard && m_wizard->GetInstalledId() == kInstalledByThisInstaller; }

void CDlgWelcome::SetTexts() {
  const int installed = IsInstalled();
  GString name, format, title;
  LoadTextInto(kTextLayoutName, name);
  LoadTextInto(installed ? kTextWelcomeTitleInstalledFormat : kTextWelcomeTitleFormat, format);
  SetFocus(GetDlgItem(m_hWnd, installed ? IDC_OPEN_DOCUMENT : IDC_NEXT));
  Format(title, format.WideAt(0), name.WideAt(0));
  SetItemString(IDC_WELCOME_TITLE, title.WideAt(0));
  SetItemText(IDC_WELCOME_BODY, installed ? kTextWelcomeBodyInstalled : kTextWelcomeBody);
  SetItemTexts(kWelcomeTexts);
  FillComboItem(IDC_UI_LANGUAGE, kUiLanguages, m_wizard ? m_wizard->GetUiLanguage() : 0);
}

int CDlgWelcome::OnInitDialog() {
  SetWizardStep(kStepWelcome);
  FitToPage();
  SetTexts();
  const int installed = IsInstalled();
  const int installedOnly[] = {IDC_REMOVE, IDC_OPEN_DOCUMENT, IDC_CHANGE_SETTINGS};
  for (int id : installedOnly) {
    EnableItem(id, installed);
    ShowItem(id, installed);
  }
  EnableItem(IDC_NEXT, !installed);
  ShowItem(IDC_NEXT, !installed);
  SetForegroundWindow(m_hWnd);
  return 1;
}

void CDlgWelcome::Remove() {
  if (!m_wizard->IsAdmin()) {
    MessageBoxId(kTextAdminRequired, MB_OK);
    SetWizardStep(kStepFinished);
    PostToMain(UM_CANCEL);  // closes without the question
    return;
  }
  GString format, product, question;
  LoadTextInto(kTextRemoveQuestionFormat, format);
  LoadTextInto(kTextBannerHead, product);
  Format(question, format.WideAt(0), product.WideAt(0));
  if (MessageBoxText(question.WideAt(0), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_wizard->DisablePageControls();
  // A failed removal leaves the page disabled: only closing the frame remains.
  if (!m_wizard->Uninstall()) {
    m_wizard->m_install->m_procedureFailed = 1;
    return;
  }
  SetWizardStep(kStepFinished);
  PostToMain(UM_SHOW_DONE);
}

int CDlgWelcome::OnCommand() {
  if (!m_wizard) return 0;
  if (m_notifyCode == CBN_SELENDOK && m_controlId == IDC_UI_LANGUAGE) {
    // The installer refuses values other than 0 and 1.
    m_wizard->SetUiLanguage(static_cast<uint32_t>(GetComboSelData(IDC_UI_LANGUAGE)));
    SetTexts();
    // The banner strip repaints in the new language at once; the frame keeps its title.
    HWND main = m_wizard->GetMainWindow();
    RECT banner = {};
    GetClientRect(main, &banner);
    banner.bottom = m_wizard->m_bannerHeight;
    InvalidateRect(main, &banner, TRUE);
    return 0;
  }
  if (m_notifyCode != BN_CLICKED) return 0;
  switch (m_controlId) {
    case IDC_NEXT:
      if (!IsInstalled()) PostToMain(UM_NEXT);
      return 1;
    case IDC_OPEN_DOCUMENT:
      m_wizard->OpenAssociated();
      return 1;
    case IDC_CANCEL:
      PostToMain(UM_CANCEL);
      return 1;
    case IDC_REMOVE:
      Remove();
      return 1;
    case IDC_CHANGE_SETTINGS:
      if (IsInstalled()) {
        m_wizard->SetModifyOnly(1);  // also marks the licence as accepted
        SetWizardStep(kStepSetup);
        PostToMain(UM_SHOW_SETUP);
      }
      return 0;
    default:
      return 0;
  }
}
