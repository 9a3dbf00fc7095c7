#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/win32/application_window.h"
#include "app/win32/form1.h"

namespace {

int RunMessageLoop(TForm1& form) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.HandleTabKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

// The command line is not read: every choice is made in the window.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder dialog's new style and the shell's requests need COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  int result = 1;
  {
    ApplicationWindow application;
    TForm1 form;
    if (application.Create(instance) && form.Create(instance, application.Window())) {
      ShowWindow(form.Window(), show);
      UpdateWindow(form.Window());
      result = RunMessageLoop(form);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
