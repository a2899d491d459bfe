// A modal dialog built from a template in the program's resources, with
// message-map dispatch and data exchange between controls and members.
#pragma once

#include <windows.h>

#include "framework/CmdTarget.h"

class CDialog;

// Which way data moves in DoDataExchange, and for which dialog.
struct CDataExchange {
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
  CDialog* m_pDlgWnd;
};

// Exchanges a check box's state (0 unchecked, 1 checked, 2 indeterminate)
// with an int. Loading replaces a value outside 0 to 2 with 0 first.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

class CDialog : public CCmdTarget {
 public:
  // With no parent, the dialog is owned by the application's main window,
  // if there is one.
  explicit CDialog(UINT nIDTemplate, CDialog* pParentWnd = nullptr);

  // Runs the dialog until EndDialog; returns its result, or -1 when the
  // dialog could not be created.
  INT_PTR DoModal();
  void EndDialog(int nResult);
  // Moves data between the controls and the members; always succeeds.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  HWND m_hWnd = nullptr;

 protected:
  // Loads the members into the controls. The return value goes back to the
  // dialog manager: TRUE lets it set the focus.
  virtual BOOL OnInitDialog();
  // OK button or Enter: saves the controls into the members and ends the
  // dialog with IDOK.
  virtual void OnOK();
  // Cancel button or Escape: ends the dialog with IDCANCEL.
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);

  // Leaves the message being dispatched to the dialog manager's default
  // handling, once the handler returns; what a handler calls for the cases
  // it leaves alone.
  LRESULT Default();
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleCommand(WPARAM wParam);

  UINT m_nIDTemplate;
  CDialog* m_pParentWnd;
  // Whether the handler of the message being dispatched called Default();
  // saved and restored around nested dispatches (a handler that opens a
  // modal box dispatches while it runs).
  bool m_leftToDialogManager = false;
};
