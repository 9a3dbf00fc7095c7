// A small program on the converter's Windows entry point, started by the platform tests:
//   echo ARG...     prints each argument on a line of its own, through PrintLine
//   hold-slots      takes every render slot, says "held" on standard output, then waits to be
//                   killed (so the slots are left held by a dying process)
//   console FILE TEXT  prints TEXT through PrintLine into a console of its own, then writes the
//                   console's first row, read back from the screen, into FILE as UTF-8
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16_win32.h"
#include "xps2img/platform/platform.h"
#include "xps2img/run.h"

namespace {

int Run(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return 2;
  if (arguments[0] == "echo") {
    for (size_t i = 1; i < arguments.size(); ++i) platform::PrintLine(arguments[i]);
    return 0;
  }
  if (arguments[0] == "console" && arguments.size() == 3) {
    FreeConsole();
    if (!AllocConsole()) return 3;
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, screen);
    platform::PrintLine(arguments[2]);
    std::wstring row(80, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, row.data(), static_cast<DWORD>(row.size()), COORD{0, 0},
                                &read);
    row.resize(read);
    while (!row.empty() && row.back() == L' ') row.pop_back();
    std::string utf8 = Utf8FromWide(row);
    const std::string& path = arguments[1];
    HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 4;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
  }
  if (arguments[0] == "hold-file" && arguments.size() == 2) {
    auto held = platform::HoldFile(arguments[1]);
    if (!held) return 5;
    platform::PrintLine("held");
    std::this_thread::sleep_for(std::chrono::hours(1));
    return 0;
  }
  if (arguments[0] == "hold-slots") {
    // One thread per slot: each slot is a mutex, owned by the thread that takes it.
    int count = platform::CoreCount();
    std::vector<std::unique_ptr<platform::RenderSlot>> slots(static_cast<size_t>(count));
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([&slots, i] {
        slots[static_cast<size_t>(i)] = platform::AcquireRenderSlot();
        std::this_thread::sleep_for(std::chrono::hours(1));
      });
    }
    for (;;) {
      bool all = true;
      for (int i = 0; i < count; ++i) all = all && slots[static_cast<size_t>(i)] != nullptr;
      if (all) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    platform::PrintLine("held");
    for (auto& thread : threads) thread.join();
    return 0;
  }
  return 2;
}

}  // namespace

// Its statuses beyond the converter's (3 and up) say which step failed.
ConversionEnd RunConverter(const std::vector<std::string>& arguments) {
  return {static_cast<ExitCode>(Run(arguments))};
}
