#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

// Whether `handle` is a console, rather than a file or pipe the stream was redirected to.
inline bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}
