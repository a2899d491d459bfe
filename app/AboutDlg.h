// The About box, opened from the main window's system menu.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

  DECLARE_MESSAGE_MAP()
};
