#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/win32/temp_folder.h"

namespace {

enum class Console { kOwn, kOwnRedirected, kShared };

struct ConsoleRun {
  DWORD exitCode = STILL_ACTIVE;
  double seconds = 0;
  std::vector<std::wstring> titles;  // of the windows seen while it ran
};

BOOL CALLBACK CollectTitle(HWND window, LPARAM titles) {
  wchar_t text[256];
  if (GetWindowTextW(window, text, 256) > 0) {
    reinterpret_cast<std::vector<std::wstring>*>(titles)->push_back(text);
  }
  return TRUE;
}

// Runs the real converter as the tool does, in a console of its own (kOwn), or with its output
// to the null device (kOwnRedirected), or in this program's console (kShared); `linger`, when
// given, shortens the countdown.
ConsoleRun RunConverter(const std::wstring& arguments, Console console,
                        const wchar_t* linger = nullptr) {
  SetEnvironmentVariableW(L"XPS2IMG_LINGER_SECONDS", linger);
  const std::wstring path = OwnFolder() + L"\\bin\\xps2img.exe";
  std::wstring command = L"\"" + path + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE null = INVALID_HANDLE_VALUE;
  if (console == Console::kOwnRedirected) {
    null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                       OPEN_EXISTING, 0, nullptr);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = null;
  }
  if (console == Console::kShared && GetConsoleWindow() == nullptr) AllocConsole();
  ConsoleRun run;
  PROCESS_INFORMATION process{};
  const auto start = std::chrono::steady_clock::now();
  if (CreateProcessW(path.c_str(), command.data(), nullptr, nullptr,
                     console == Console::kOwnRedirected,
                     console == Console::kShared ? 0 : CREATE_NEW_CONSOLE, nullptr, nullptr,
                     &startup, &process)) {
    while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
      EnumWindows(CollectTitle, reinterpret_cast<LPARAM>(&run.titles));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  SetEnvironmentVariableW(L"XPS2IMG_LINGER_SECONDS", nullptr);
  return run;
}

bool Seen(const ConsoleRun& run, const std::wstring& title) {
  return std::find(run.titles.begin(), run.titles.end(), title) != run.titles.end();
}

// In a console of its own, as the tool starts it, a converter that failed names the document
// and the outcome in the console's title, counts down and ends by itself with status 1.
TEST(ConverterConsole, AFailureStaysForTheCountdownInAConsoleOfItsOwn) {
  TempFolder out(L"控制台 out");
  const std::wstring arguments = L"\"" + (out / L"无此文件.xps") + L"\" \"" + out.Path() + L"\"";
  ConsoleRun run = RunConverter(arguments, Console::kOwn, L"2");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_GE(run.seconds, 2.0);
  EXPECT_TRUE(Seen(run, L"无此文件.xps — 失败"));
}

// One that succeeds closes its console at once; one whose output is redirected, or that shares
// the console of the program that started it, never lingers, whatever happened.
TEST(ConverterConsole, NoCountdownOnSuccessRedirectedOrInAnotherProgramsConsole) {
  TempFolder out(L"控制台 out");
  const std::wstring folder = L" \"" + out.Path() + L"\"";
  const std::wstring text = L"\"" + WinePath(FIXTURES_DIR) + L"\\text.xps\"" + folder + L" -d 20";
  const std::wstring missing = L"\"" + (out / L"无此文件.xps") + L"\"" + folder;
  struct Case {
    std::wstring arguments;
    Console console;
    DWORD exitCode;
  };
  for (const Case& c : {Case{text, Console::kOwn, 0}, Case{missing, Console::kOwnRedirected, 1},
                        Case{missing, Console::kShared, 1}}) {
    ConsoleRun run = RunConverter(c.arguments, c.console);  // the countdown as long as the user's
    EXPECT_EQ(run.exitCode, c.exitCode) << static_cast<int>(c.console);
    EXPECT_LT(run.seconds, 10.0) << static_cast<int>(c.console);
  }
}

}  // namespace
