// The finish page (step 6): the outcome of the install or the removal, and the button that ends
// the wizard and has the computer restarted.
#pragma once

#include "ui/wnd_base.h"

class CDlgDone : public CWndBase {
 public:
  int OnCommand() override;
  int OnInitDialog() override;
};
