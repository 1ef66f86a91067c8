// CWndMain: the frame window. It paints the banner strip above the page on view, turns the
// wizard messages the pages post into page changes, and asks before it closes while the wizard
// is not finished.
#pragma once

#include "ui/wnd_base.h"

class CWndMain : public CWndBase {
 public:
  int OnMessage() override;
  int OnCreate() override;
  int OnPaint() override;
  int OnDestroy() override;
  int OnClose() override;

  virtual int OnFinishRestart();
  virtual int OnShowDone();
  virtual int OnBack();
  virtual int OnNext();
  virtual int OnShowSetup();
  virtual int OnShowExpert1();
  virtual int OnShowExpert2();

  void PaintBanner(HDC dc);
};
