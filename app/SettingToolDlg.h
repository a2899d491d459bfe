// The main dialog: owns all run-time state, runs the start-up sequence
// before it is shown, writes the option on OK.
#pragma once

#include "app/SettingToolState.h"
#include "framework/Dialog.h"
#include "platform/PlatformOps.h"

class CSettingToolDlg : public CDialog {
 public:
  explicit CSettingToolDlg(PlatformOps& platform);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();

  DECLARE_MESSAGE_MAP()

 private:
  void AddAboutItemToSystemMenu();

  PlatformOps& m_platform;
  SettingToolState m_state;
  HICON m_hIcon;
  // True from when the check box shows the files' state until OK or Cancel
  // is taken.
  bool m_bUserCanChoose = false;
};
