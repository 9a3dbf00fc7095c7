#pragma once

#include <windows.h>

// How the windows of a class look, besides their procedure.
struct WindowClassLook {
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  int extraBytes = 0;  // per window, for SetWindowLongPtrW at non-negative offsets
};

// Registers the window class `name` of this program once; a class registered before is taken
// as it is. False when the system refuses.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         const WindowClassLook& look = {});
