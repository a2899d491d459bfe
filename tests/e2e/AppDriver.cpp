#include "tests/e2e/AppDriver.h"

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

constexpr DWORD kTimeoutMs = 15000;
constexpr DWORD kPollMs = 20;
constexpr int kMessageBoxTextId = 0xFFFF;

std::string WindowText(HWND hwnd) {
  char text[1024] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

struct Search {
  DWORD processId;
  const std::set<HWND>* closing;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && IsWindowVisible(hwnd) &&
      IsWindowEnabled(hwnd) && search->closing->count(hwnd) == 0) {
    search->found.push_back(hwnd);
  }
  return TRUE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::vector<std::string>*>(lParam)->push_back(
      WindowText(hwnd));
  return TRUE;
}

AppWindow Describe(HWND hwnd) {
  AppWindow window = {hwnd, WindowText(hwnd), "", false, {}};
  window.isMainDialog = GetDlgItem(hwnd, IDC_SKIP_CHECK) != nullptr;
  if (!window.isMainDialog) {
    window.text = WindowText(GetDlgItem(hwnd, kMessageBoxTextId));
  }
  EnumChildWindows(hwnd, &CollectText,
                   reinterpret_cast<LPARAM>(&window.controlTexts));
  return window;
}

HWND CheckBox(const AppWindow& dialog) {
  return GetDlgItem(dialog.hwnd, IDC_SKIP_CHECK);
}

LRESULT SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG,
                           kTimeoutMs, &result)) {
    throw std::runtime_error("the program did not answer message " +
                             std::to_string(message));
  }
  return static_cast<LRESULT>(result);
}

}  // namespace

std::string ProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    throw std::runtime_error("GetModuleFileNameA failed");
  }
  std::string dir(path, length);
  return dir.substr(0, dir.find_last_of('\\'));
}

AppDriver::AppDriver(const std::string& exe) {
  std::string commandLine = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // Under load Wine now and then refuses to create a process at all. No
  // process exists then, so trying again starts the one copy the test
  // asked for; a copy that started and was lost would still fail the test.
  DWORD error = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       0, nullptr, nullptr, &startup, &process_)) {
      return;
    }
    error = GetLastError();
    Sleep(200);
  }
  throw std::runtime_error("cannot start " + exe + ": error " +
                           std::to_string(error));
}

AppDriver::~AppDriver() {
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, kTimeoutMs);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool AppDriver::IsWow64() const {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(process_.hProcess, &wow64)) {
    throw std::runtime_error("IsWow64Process failed");
  }
  return wow64 != FALSE;
}

std::optional<AppWindow> AppDriver::NextWindow() {
  for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
    Search search = {process_.dwProcessId, &closing_, {}};
    EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&search));
    // Two at once happen only for a moment, while a modal box opens over its
    // owner; a state that lasts fails at the time-out below.
    if (search.found.size() == 1) return Describe(search.found.front());
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
      return std::nullopt;
    }
    Sleep(kPollMs);
  }
  throw std::runtime_error("no single window and no exit within " +
                           std::to_string(kTimeoutMs) + " ms");
}

void AppDriver::Press(const AppWindow& window, int buttonId) {
  PostMessageA(window.hwnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
  WaitUntilGone(window);
}

void AppDriver::WaitUntilGone(const AppWindow& window) {
  // The main dialog stays up while it shows its reports; from now on only
  // those boxes count as the program's windows.
  if (window.isMainDialog) {
    closing_.insert(window.hwnd);
    return;
  }
  for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
    if (!IsWindow(window.hwnd) || !IsWindowVisible(window.hwnd)) return;
    Sleep(kPollMs);
  }
  throw std::runtime_error("window \"" + window.caption + "\" stayed open");
}

void AppDriver::PressEscape(const AppWindow& window) {
  // Keys go to the control with the focus; the dialog manager turns Escape
  // into the Cancel command.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  const DWORD thread = GetWindowThreadProcessId(window.hwnd, nullptr);
  HWND target = GetGUIThreadInfo(thread, &gui) && gui.hwndFocus
                    ? gui.hwndFocus
                    : window.hwnd;
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  WaitUntilGone(window);
}

std::optional<DWORD> AppDriver::WaitForExit() {
  if (WaitForSingleObject(process_.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

int AppDriver::CheckState(const AppWindow& dialog) const {
  return static_cast<int>(SendWithTimeout(CheckBox(dialog), BM_GETCHECK, 0, 0));
}

int AppDriver::CheckStyle(const AppWindow& dialog) const {
  return static_cast<int>(GetWindowLongPtrA(CheckBox(dialog), GWL_STYLE) &
                          BS_TYPEMASK);
}

void AppDriver::OpenFromSystemMenu(const AppWindow& window, WPARAM id) const {
  PostMessageA(window.hwnd, WM_SYSCOMMAND, id, 0);
  for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
    if (!IsWindowEnabled(window.hwnd)) return;
    Sleep(kPollMs);
  }
  throw std::runtime_error("system command " + std::to_string(id) +
                           " opened no modal window");
}

void AppDriver::ClickCheck(const AppWindow& dialog) const {
  SendWithTimeout(CheckBox(dialog), BM_CLICK, 0, 0);
}

namespace {

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  return text;
}

// A pipe whose write end a child inherits.
struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  Pipe() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 1 << 20)) {
      throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  }
  ~Pipe() {
    CloseHandle(read);
    if (write != nullptr) CloseHandle(write);
  }
  void CloseWriteEnd() {
    CloseHandle(write);
    write = nullptr;
  }
};

}  // namespace

ConsoleRun RunConsoleProgram(const std::string& program,
                             const std::string& arguments) {
  const std::string exe = ProgramDirectory() + "\\" + program;
  std::string commandLine = "\"" + exe + "\" " + arguments;
  Pipe out;
  Pipe err;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.write;
  startup.hStdError = err.write;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + exe);
  }
  out.CloseWriteEnd();
  err.CloseWriteEnd();
  // The pipes hold more than the program ever writes, so it never waits
  // for them to be read.
  const DWORD waited = WaitForSingleObject(process.hProcess, kTimeoutMs);
  ConsoleRun run = {0, ReadAll(out.read), ReadAll(err.read)};
  GetExitCodeProcess(process.hProcess, &run.status);
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (waited != WAIT_OBJECT_0) {
    throw std::runtime_error(program + " " + arguments + " did not end");
  }
  return run;
}
