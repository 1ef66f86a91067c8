// The setup page (step 3): the input language of the layout, the option boxes, the variant and
// the decimal key, and the install.
#pragma once

#include "ui/wnd_base.h"

class CDlgSetup : public CWndBase {
 public:
  CDlgSetup();
  ~CDlgSetup() override;
  int OnCommand() override;
  int OnInitDialog() override;

 private:
  int FillLanguageList();
  void SetLanguageScriptLabel();
  int OnLanguageChosen();
  int InstallNow();
};
