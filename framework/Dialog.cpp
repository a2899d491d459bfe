#include "framework/Dialog.h"

#include "framework/WinApp.h"

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND control = GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    return;
  }
  if (value < BST_UNCHECKED || value > BST_INDETERMINATE) value = 0;
  SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

CDialog::CDialog(UINT nIDTemplate, CDialog* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
  HWND owner = nullptr;
  if (m_pParentWnd != nullptr) {
    owner = m_pParentWnd->m_hWnd;
  } else if (CWinApp* application = AfxGetApp();
             application != nullptr && application->m_pMainWnd != nullptr &&
             application->m_pMainWnd != this) {
    owner = application->m_pMainWnd->m_hWnd;
  }
  const HINSTANCE instance = AfxGetApp() ? AfxGetApp()->m_hInstance : nullptr;
  const INT_PTR result = DialogBoxParamA(
      instance, MAKEINTRESOURCEA(m_nIDTemplate), owner, &CDialog::DialogProc,
      reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange exchange = {bSaveAndValidate, this};
  DoDataExchange(&exchange);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::Default() {
  m_leftToDialogManager = true;
  return 0;
}

void CDialog::OnSysCommand(UINT, LPARAM) { Default(); }

void CDialog::OnPaint() { Default(); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
    dialog->m_hWnd = hwnd;
    return dialog->OnInitDialog();
  }
  auto* dialog =
      reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  // Messages sent before WM_INITDIALOG (WM_SETFONT among them) get the
  // dialog manager's own handling.
  if (dialog == nullptr) return FALSE;
  return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) return HandleCommand(wParam);
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0);
  if (entry == nullptr) return FALSE;

  const bool outer = m_leftToDialogManager;
  m_leftToDialogManager = false;
  const LRESULT result = entry->thunk(this, wParam, lParam);
  const bool leftToDialogManager = m_leftToDialogManager;
  m_leftToDialogManager = outer;
  // FALSE from a dialog procedure hands the message to DefDlgProc, which
  // gives it the dialog manager's handling (and DefWindowProc's after it).
  if (leftToDialogManager) return FALSE;
  // A dialog procedure returns the result of WM_QUERYDRAGICON itself; for
  // other messages it goes through DWLP_MSGRESULT.
  if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CDialog::HandleCommand(WPARAM wParam) {
  // Only button clicks and menu items (notification 0) are commands; other
  // control notifications are left to the dialog manager.
  if (HIWORD(wParam) != BN_CLICKED) return FALSE;
  const UINT id = LOWORD(wParam);
  if (id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  // Commands the dialog does not handle go on to the application.
  if (OnCmdMsg(id)) return TRUE;
  CWinApp* application = AfxGetApp();
  return application != nullptr && application->OnCmdMsg(id) ? TRUE : FALSE;
}
