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

// Watches, from a thread of its own, for the dialogs that the process `process` (this one
// unless told) opens, notes what each shows and answers it with `answer`, so that a test can
// drive a modal dialog. Stops when destroyed.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::function<void(HWND dialog)> answer,
                          DWORD process = GetCurrentProcessId());
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  ~DialogAnswerer();

  std::vector<SeenDialog> Seen();

 private:
  void Watch();

  std::function<void(HWND)> answer_;
  DWORD process_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenDialog> seen_;
  std::thread thread_;
};

// Closes a message box or dialog as if its OK button was pressed.
void PressOk(HWND dialog);
// Answers the explorer-style open-file dialog by typing `names` and pressing Open.
std::function<void(HWND)> TypeFileNames(std::wstring names);
// The names the explorer-style open-file dialog lists in its current folder, sorted, read
// once at least `expected` have appeared or after five seconds.
std::vector<std::wstring> ListedFiles(HWND dialog, std::size_t expected);
// Answers the folder dialog by selecting `folder` and pressing OK; the dialog may belong to
// another process.
std::function<void(HWND)> SelectFolder(std::wstring folder);
