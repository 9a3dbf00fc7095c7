#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a dialog showed when it opened.
struct SeenDialog {
  std::wstring caption;
  std::wstring text;  // of a message box
  bool hasIcon = false;
  HWND owner = nullptr;
  RECT rect{};
};

// Watches, from a thread of its own, for the dialogs that this process opens, notes what each
// shows and answers it with `answer`, so that a test can drive a modal dialog. Stops when
// destroyed.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::function<void(HWND dialog)> answer);
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  ~DialogAnswerer();

  std::vector<SeenDialog> Seen();

 private:
  void Watch();

  std::function<void(HWND)> answer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenDialog> seen_;
  std::thread thread_;
};

// Closes a message box or dialog as if its OK button was pressed.
void PressOk(HWND dialog);
