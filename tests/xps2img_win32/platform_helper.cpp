// A small program on the converter's Windows entry point, started by the platform tests:
//   echo ARG...     prints each argument on a line of its own, through PrintLine
//   hold-slots      takes every render slot, says "held" on standard output, then waits to be
//                   killed (so the slots are left held by a dying process)
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "xps2img/platform.h"

int RunConverter(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return 2;
  if (arguments[0] == "echo") {
    for (size_t i = 1; i < arguments.size(); ++i) platform::PrintLine(arguments[i]);
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
