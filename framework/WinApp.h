// The application object: the framework's WinMain calls InitInstance on the
// one CWinApp the program defines.
#pragma once

#include <windows.h>

#include "framework/CmdTarget.h"

class CDialog;

class CWinApp : public CCmdTarget {
 public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  ~CWinApp() override;

  // Does the program's work. It returns whether a message loop should run
  // afterwards; the program's work is one modal dialog, so this layer runs
  // none and the process ends when InitInstance returns.
  virtual BOOL InitInstance() = 0;

  // The help command's handler: the program ships no help, so it does
  // nothing.
  void OnHelp() {}

  HINSTANCE m_hInstance = nullptr;
  CDialog* m_pMainWnd = nullptr;  // owner of dialogs opened without a parent
};

// The program's application object, or null outside its lifetime.
CWinApp* AfxGetApp();
