#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include "base/utf16_win32.h"
#include "xps2img/platform/console_win32.h"
#include "xps2img/platform/console_window.h"

namespace console_window {

// A console of its own is one no other process is attached to: started from a console window
// (cmd, a script), the converter shares it with its parent.
Window DetectWindow() {
  DWORD processes[2];
  const bool own = GetConsoleProcessList(processes, 2) == 1;
  return {own, own && IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)) &&
                   IsConsole(GetStdHandle(STD_ERROR_HANDLE))};
}

void SetTitle(const std::string& title) { SetConsoleTitleW(WideFromUtf8(title).c_str()); }

// Two blanks after the text cover what a longer text before it left.
void RewriteLine(const std::string& text) {
  const std::wstring line = L"\r" + WideFromUtf8(text) + L"  ";
  DWORD written = 0;
  WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
}

}  // namespace console_window
