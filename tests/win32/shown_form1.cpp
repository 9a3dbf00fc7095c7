#include "tests/win32/shown_form1.h"

#include <commctrl.h>
#include <objbase.h>

void ShownForm1::SetUp() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(application_->Create(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(form_->Create(GetModuleHandleW(nullptr), application_->Window()));
  ShowWindow(form_->Window(), SW_SHOWNORMAL);
  SetForegroundWindow(form_->Window());
  Pump();
}

void ShownForm1::TearDown() {
  form_.reset();
  application_.reset();
  // Closing Form1 asks the message loop to end; no loop runs here, so drop the request.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  CoUninitialize();
}

void ShownForm1::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void ShownForm1::Click(std::u16string_view button) {
  SendMessageW(form_->Control(button), BM_CLICK, 0, 0);
  Pump();
}
