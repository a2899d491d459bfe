#include "app/SettingToolDlg.h"

#include <cstdlib>

#include "app/StartupSequence.h"
#include "framework/WinApp.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CSettingToolDlg, CDialog)
END_MESSAGE_MAP()

CSettingToolDlg::CSettingToolDlg(PlatformOps& platform)
    : CDialog(IDD_MAIN),
      m_platform(platform),
      m_hIcon(LoadIconA(AfxGetApp()->m_hInstance,
                        MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

void CSettingToolDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Check(pDX, IDC_SKIP_CHECK, m_state.m_nSkipState);
}

BOOL CSettingToolDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_hIcon));

  if (RunStartupSequence(m_platform, m_hWnd, m_state) ==
      StartupOutcome::EndProcess) {
    std::exit(0);
  }
  // Files that disagree: the check box shows the grey state, and from now
  // on the user can cycle through all three.
  if (m_state.m_nSkipState == kSkipMixed) {
    SendDlgItemMessageA(m_hWnd, IDC_SKIP_CHECK, BM_SETSTYLE, BS_AUTO3STATE,
                        TRUE);
  }
  UpdateData(FALSE);
  return TRUE;
}

void CSettingToolDlg::OnOK() {
  UpdateData(TRUE);
  WriteSkipSetting(m_platform, m_state.detection, m_hWnd,
                   m_state.m_nSkipState, kSkipSettingKey);
  CDialog::OnOK();
}

void CSettingToolDlg::OnCancel() { CDialog::OnCancel(); }
