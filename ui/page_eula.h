// The licence page (step 2): the licence text in the interface language; next is enabled only
// while the acceptance box is ticked.
#pragma once

#include "ui/wnd_base.h"

class CDlgEula : public CWndBase {
 public:
  int OnCommand() override;
  int OnInitDialog() override;
};
