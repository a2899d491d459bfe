#include "framework/WinApp.h"

namespace {
CWinApp* g_application = nullptr;
}

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() { g_application = nullptr; }

CWinApp* AfxGetApp() { return g_application; }

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  CWinApp* application = AfxGetApp();
  if (application == nullptr) return 1;
  application->m_hInstance = hInstance;
  application->InitInstance();
  return 0;
}
