#pragma once

#include <windows.h>

// The application's hidden owner window: it carries the title "Vellumor", owns the main
// window and the folder dialog, and is never shown, so it has no taskbar button.
class ApplicationWindow {
 public:
  ApplicationWindow() = default;
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;
  ~ApplicationWindow();

  bool Create(HINSTANCE instance);
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};
