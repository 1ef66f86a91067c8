// The welcome page (step 1): the interface language, what the installer does and, when this
// version of the layout is installed, remove, change settings and open the related document.
#pragma once

#include "ui/wnd_base.h"

class CDlgWelcome : public CWndBase {
 public:
  int OnCommand() override;
  int OnInitDialog() override;

 private:
  int IsInstalled();
  // Title, body, buttons and the language list in the interface language of the moment.
  void SetTexts();
  void Remove();
};
