#include "ui/page_done.h"

#include "app/text_ids.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

// (text 81): the body after an installation before Windows Vista, which adds no input language
// by itself. A package without it gives an empty first part.
constexpr uint32_t kTextFinishBodyOldFormat = 134;

}  // namespace

int CDlgDone::OnInitDialog() {
  if (!m_wizard || !m_wizard->m_install) return 0;
  SetWizardStep(kStepFinished);
  FitToPage();
  SetItemTexts(kDoneTexts);

  GString title, body;
  if (m_wizard->IsUninstallDone()) {
    LoadTextInto(kTextFinishRemovedBody, body);  // the title stays empty
  } else {
    LoadTextInto(kTextWelcomeBodyInstalled, title);
    if (m_wizard->GetOsVersion() >= 60) {
      LoadTextInto(kTextFinishBody, body);
    } else {
      GString format, name;
      LoadTextInto(kTextFinishBodyOldFormat, format);
      LoadTextInto(kTextLayoutName, name);
      Format(body, format.WideAt(0), name.WideAt(0));
    }
    if (!m_wizard->GetAssocMatch()) {
      GString note;
      LoadTextInto(kTextAssocMissingNote, note);
      body.AppendWide(U16("\n\n"), 2);
      body.Append(note);
    }
  }
  SetItemString(IDC_DONE_TITLE, title.WideAt(0));
  SetItemString(IDC_DONE_BODY, body.WideAt(0));
  SetFocus(GetDlgItem(m_hWnd, IDC_FINISH));
  SetForegroundWindow(m_hWnd);
  return 1;
}

int CDlgDone::OnCommand() {
  if (m_notifyCode != BN_CLICKED || m_controlId != IDC_FINISH) return 0;
  SetWizardStep(kStepFinished);
  PostToMain(UM_FINISH_RESTART);
  return 1;
}
