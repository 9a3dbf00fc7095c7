#include "app/win32/window_class.h"

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         const WindowClassLook& look) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = look.extraBytes;
  windowClass.hInstance = instance;
  windowClass.hIcon = look.icon;
  windowClass.hCursor = look.cursor;
  windowClass.hbrBackground = look.background;
  windowClass.lpszClassName = name;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
