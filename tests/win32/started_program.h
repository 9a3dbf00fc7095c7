#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// A program started for a test in the folder `folder`. When destroyed it is ended, with every
// process it started that still runs, so that a failed test leaves nothing running.
class StartedProgram {
 public:
  StartedProgram(const std::wstring& program, const std::wstring& folder);
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  ~StartedProgram();

  DWORD Id() const { return process_.dwProcessId; }
  // Its visible top-level window of the class `windowClass`; nullptr while there is none.
  HWND Window(const std::wstring& windowClass) const;
  // Whether it ended within `limit`.
  bool AwaitExit(std::chrono::milliseconds limit);
  // Its exit status once it has ended.
  std::optional<DWORD> ExitCode() const;

 private:
  PROCESS_INFORMATION process_{};
};

// How many processes run the program file `name` (for example L"xps2img.exe"), counting only
// those that `parent` started when it is given.
int RunningProcesses(const std::wstring& name, std::optional<DWORD> parent = std::nullopt);

// Asks `done` every few milliseconds until it holds or `limit` has passed; whether it held.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
