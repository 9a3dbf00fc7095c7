#include "app/win32/application_window.h"

#include "app/form.h"
#include "app/win32/wide.h"
#include "app/win32/window_class.h"

namespace {

constexpr wchar_t kClassName[] = L"TApplication";

}  // namespace

ApplicationWindow::~ApplicationWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool ApplicationWindow::Create(HINSTANCE instance) {
  if (!RegisterWindowClass(instance, kClassName, DefWindowProcW)) return false;
  window_ = CreateWindowExW(0, kClassName, Wide(form::kAppTitle).c_str(), WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, instance, nullptr);
  return window_ != nullptr;
}
