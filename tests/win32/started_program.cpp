#include "tests/win32/started_program.h"

#include <tlhelp32.h>

#include <stdexcept>
#include <vector>

namespace {

struct Process {
  DWORD id;
  DWORD parent;
  std::wstring name;
};

std::vector<Process> Processes() {
  std::vector<Process> processes;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  }
  CloseHandle(snapshot);
  return processes;
}

// Ends the processes that `parent` started, and theirs, before `parent` itself.
void EndTree(DWORD parent, HANDLE handle) {
  for (const Process& process : Processes()) {
    if (process.parent != parent || process.id == parent) continue;
    HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.id);
    if (child == nullptr) continue;
    EndTree(process.id, child);
    CloseHandle(child);
  }
  TerminateProcess(handle, 1);
  WaitForSingleObject(handle, 5000);
}

struct WindowSearch {
  DWORD process;
  const std::wstring& windowClass;
  HWND found = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process != search->process || !IsWindowVisible(window) || search->windowClass != name) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

StartedProgram::StartedProgram(const std::wstring& program, const std::wstring& folder) {
  std::wstring line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process_)) {
    throw std::runtime_error("cannot start the program, error " + std::to_string(GetLastError()));
  }
}

StartedProgram::~StartedProgram() {
  // The handle keeps the process id from being reused, so its children are found by it.
  EndTree(process_.dwProcessId, process_.hProcess);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

HWND StartedProgram::Window(const std::wstring& windowClass) const {
  WindowSearch search{process_.dwProcessId, windowClass};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool StartedProgram::AwaitExit(std::chrono::milliseconds limit) {
  return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> StartedProgram::ExitCode() const {
  DWORD code = 0;
  if (!GetExitCodeProcess(process_.hProcess, &code) || code == STILL_ACTIVE) return std::nullopt;
  return code;
}

int RunningProcesses(const std::wstring& name, std::optional<DWORD> parent) {
  int running = 0;
  for (const Process& process : Processes()) {
    if (lstrcmpiW(process.name.c_str(), name.c_str()) != 0) continue;
    if (!parent || process.parent == *parent) ++running;
  }
  return running;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(50);
  }
  return true;
}
