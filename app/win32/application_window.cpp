#include "app/win32/application_window.h"

#include "app/form.h"
#include "app/win32/wide.h"

namespace {

constexpr wchar_t kClassName[] = L"TApplication";

}  // namespace

ApplicationWindow::~ApplicationWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool ApplicationWindow::Create(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  window_ = CreateWindowExW(0, kClassName, Wide(form::kAppTitle).c_str(), WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, instance, nullptr);
  return window_ != nullptr;
}
