#include "framework/WinApp.h"

#include "platform/win32/RedirectionGuard.h"
#include "platform/win32/SystemLibrary.h"

namespace {
CWinApp* g_application = nullptr;
}

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() { g_application = nullptr; }

CWinApp* AfxGetApp() { return g_application; }

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL: from here on, only the system folder's.
  RestrictDllSearchToSystemFolder();
  EnableRedirectionGuard();
  CWinApp* application = AfxGetApp();
  if (application == nullptr) return 1;
  application->m_hInstance = hInstance;
  application->InitInstance();
  return 0;
}
