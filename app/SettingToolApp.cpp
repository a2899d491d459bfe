#include "app/SettingToolApp.h"

#include "app/SettingToolDlg.h"
#include "platform/win32/Win32PlatformOps.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CSettingToolApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

namespace {
CSettingToolApp theApp;
}

BOOL CSettingToolApp::InitInstance() {
  // An MFC program would first call AfxEnableControlContainer and
  // Enable3dControlsStatic. Neither has anything to do here: this layer
  // hosts no ActiveX controls, and the system draws 3-D controls itself.
  Win32PlatformOps platform;
  CSettingToolDlg dialog(platform);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
