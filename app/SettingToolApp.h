// The application object.
#pragma once

#include "framework/WinApp.h"

class CSettingToolApp : public CWinApp {
 public:
  // Runs the main dialog and returns false, so the process ends after it.
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};
