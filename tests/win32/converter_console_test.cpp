#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/win32/temp_folder.h"

namespace {

enum class Console { kOwn, kOwnRedirected, kShared };

BOOL CALLBACK CollectTitle(HWND window, LPARAM titles) {
  wchar_t text[256];
  if (GetWindowTextW(window, text, 256) > 0) {
    reinterpret_cast<std::vector<std::wstring>*>(titles)->push_back(text);
  }
  return TRUE;
}

// The real converter started as the tool starts it, in a console of its own, or with its output
// to the null device too, or in this program's console; the countdown is the user's unless the
// case expects it to linger. A failure in a console of its own names the document and the outcome
// in the console's title, counts down and ends by itself with status 1; otherwise the converter
// ends at once, whatever happened.
TEST(ConverterConsole, AFailureStaysForTheCountdownOnlyInAConsoleOfItsOwn) {
  TempFolder out(L"控制台 out");
  const std::wstring folder = L" \"" + out.Path() + L"\"";
  const std::wstring text = L"\"" + WinePath(FIXTURES_DIR) + L"\\text.xps\"" + folder + L" -d 20";
  const std::wstring missing = L"\"" + (out / L"无此文件.xps") + L"\"" + folder;
  struct Case {
    std::wstring arguments;
    Console console;
    DWORD exitCode;
    bool lingers;
  };
  for (const Case& c : {Case{missing, Console::kOwn, 1, true}, Case{text, Console::kOwn, 0, false},
                        Case{missing, Console::kOwnRedirected, 1, false},
                        Case{missing, Console::kShared, 1, false}}) {
    SetEnvironmentVariableW(L"XPS2IMG_LINGER_SECONDS", c.lingers ? L"2" : nullptr);
    std::wstring command = L"\"" + OwnFolder() + L"\\bin\\xps2img.exe\" " + c.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                              OPEN_EXISTING, 0, nullptr);
    if (c.console == Console::kOwnRedirected) {
      startup.dwFlags |= STARTF_USESTDHANDLES;
      startup.hStdOutput = startup.hStdError = null;
    }
    if (c.console == Console::kShared && GetConsoleWindow() == nullptr) AllocConsole();
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr,
                               c.console == Console::kOwnRedirected,
                               c.console == Console::kShared ? 0 : CREATE_NEW_CONSOLE, nullptr,
                               nullptr, &startup, &process));
    std::vector<std::wstring> titles;
    while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
      EnumWindows(CollectTitle, reinterpret_cast<LPARAM>(&titles));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(null);
    EXPECT_EQ(exitCode, c.exitCode) << c.arguments;
    if (c.lingers) {
      EXPECT_GE(took.count(), 2.0);
      EXPECT_NE(std::find(titles.begin(), titles.end(), L"无此文件.xps — 失败"), titles.end());
    } else {
      EXPECT_LT(took.count(), 10.0) << static_cast<int>(c.console);
    }
  }
  SetEnvironmentVariableW(L"XPS2IMG_LINGER_SECONDS", nullptr);
}

}  // namespace
