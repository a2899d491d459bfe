// A DLL planted beside the exe under the name of a system DLL, as an
// attacker would leave one in a Downloads folder. It exports the real DLL's
// names (all as one stub) so that any way of loading it succeeds, and on
// loading leaves a marker file beside itself: <name>.dll.loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatA(marker, ".loaded");
  HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}

int planted_stub(void) { return 0; }
