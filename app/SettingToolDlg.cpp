#include "app/SettingToolDlg.h"

#include <cstdlib>

#include "app/AboutDlg.h"
#include "app/IconPlacement.h"
#include "app/StartupSequence.h"
#include "framework/WinApp.h"
#include "guards/InstanceGuard.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CSettingToolDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
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
  AddAboutItemToSystemMenu();

  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_hIcon));

  if (RunStartupSequence(m_platform, m_hWnd, m_state) ==
      StartupOutcome::EndProcess) {
    // exit runs no destructor of ours: the copies go first.
    m_platform.RemovePrivateFolder();
    std::exit(0);
  }
  // Files that disagree: the check box shows the grey state, and from now
  // on the user can cycle through all three.
  if (m_state.m_nSkipState == kSkipMixed) {
    SendDlgItemMessageA(m_hWnd, IDC_SKIP_CHECK, BM_SETSTYLE, BS_AUTO3STATE,
                        TRUE);
  }
  UpdateData(FALSE);
  m_bUserCanChoose = true;
  return TRUE;
}

// OK and Cancel count only once the check box shows what the files hold:
// the start-up boxes run their own message loops, in which a click or key
// meant for something else can reach the still hidden dialog. While OK
// writes and reports, its boxes run such loops too; a second OK or a
// Cancel then does nothing.
void CSettingToolDlg::OnOK() {
  if (!m_bUserCanChoose) return;
  m_bUserCanChoose = false;
  UpdateData(TRUE);
  WriteSkipSetting(m_platform, m_state.detection, m_hWnd, m_state.m_nSkipState,
                   kSkipSettingKey);
  ReleaseInstanceGuard(m_platform, m_state.m_hWriterLock);
  ReleaseInstanceGuard(m_platform, m_state.m_hGuard);
  CDialog::OnOK();
}

void CSettingToolDlg::OnCancel() {
  if (!m_bUserCanChoose) return;
  m_bUserCanChoose = false;
  ReleaseInstanceGuard(m_platform, m_state.m_hWriterLock);
  ReleaseInstanceGuard(m_platform, m_state.m_hGuard);
  CDialog::OnCancel();
}

void CSettingToolDlg::AddAboutItemToSystemMenu() {
  HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
  if (systemMenu == nullptr) return;
  char aboutText[64];
  if (LoadStringA(AfxGetApp()->m_hInstance, IDS_ABOUTBOX, aboutText,
                  sizeof aboutText) <= 0) {
    return;
  }
  if (AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr)) {
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
  }
}

void CSettingToolDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

void CSettingToolDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) {
    CDialog::OnPaint();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  if (dc == nullptr) return;
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  if (GetClientRect(m_hWnd, &client)) {
    DrawIcon(dc,
             CenteredIconOffset(client.right - client.left,
                                GetSystemMetrics(SM_CXICON)),
             CenteredIconOffset(client.bottom - client.top,
                                GetSystemMetrics(SM_CYICON)),
             m_hIcon);
  }
  EndPaint(m_hWnd, &paint);
}

HCURSOR CSettingToolDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}
