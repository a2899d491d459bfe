// Resource ids of VRPSettingTool, shared by the resource script and the code.
#pragma once

// System menu
#define IDM_ABOUTBOX 0x0010

// About box
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101

// Main dialog
#define IDD_MAIN 102
#define IDC_SKIP_CHECK 1000

// Icon
#define IDR_MAINFRAME 128

// The help command of the application's message map
#define ID_HELP 0xE146
