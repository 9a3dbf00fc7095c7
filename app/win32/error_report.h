#pragma once

#include <windows.h>

#include <string_view>

// The default error report: a modal box captioned with the application title, with the
// error icon and one OK button.
void ShowErrorReport(HWND owner, std::u16string_view message);
