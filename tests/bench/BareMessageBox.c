/* The yardstick for start-up time: a program that shows one message box at
   once, built and linked like VRPSettingTool.exe. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  MessageBoxA(NULL, "Bare message box", "Warning", MB_OK);
  return 0;
}
